// A home and data folder of the test's own, so files deleted by the tests go to a trash
// that the test can look into, never to the real user's.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

namespace tapecalc {

class TemporaryHome {
  public:
    TemporaryHome() : savedHome_(qgetenv("HOME")), savedDataHome_(qgetenv("XDG_DATA_HOME")) {
        hadDataHome_ = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        qputenv("HOME", QFile::encodeName(dir_.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
        // A desktop's data folder exists; the trash is made inside it, not the folder.
        QDir().mkpath(dataHome());
    }
    ~TemporaryHome() {
        qputenv("HOME", savedHome_);
        if (hadDataHome_)
            qputenv("XDG_DATA_HOME", savedDataHome_);
        else
            qunsetenv("XDG_DATA_HOME");
    }
    TemporaryHome(const TemporaryHome &) = delete;
    TemporaryHome &operator=(const TemporaryHome &) = delete;

    bool isValid() const { return dir_.isValid(); }
    QString dataHome() const { return dir_.filePath(QStringLiteral(".local/share")); }
    // Where the desktop's trash keeps the deleted files themselves.
    QString trashFiles() const { return QDir(dataHome()).filePath(QStringLiteral("Trash/files")); }
    // Names in the trash are made unique against files/ and info/: empty both.
    void emptyTrash() const {
        QDir(QDir(dataHome()).filePath(QStringLiteral("Trash"))).removeRecursively();
    }
    // A folder in the same home, so the trash in it is the one that takes its files.
    QString folder(const QString &name) const {
        const QString path = dir_.filePath(name);
        QDir().mkpath(path);
        return path;
    }

  private:
    QTemporaryDir dir_;
    QByteArray savedHome_;
    QByteArray savedDataHome_;
    bool hadDataHome_ = false;
};

} // namespace tapecalc
