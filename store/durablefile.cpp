// What a save does with its temporary file, the same on every platform: the temporary's
// name and life, writing it, placing it under a free name. The system calls are in
// durablefile_posix.cpp and durablefile_win.cpp.
#include "store/durablefile.h"

#include "store/freename.h"
#include "store/platform_p.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

namespace tapecalc::durable {

namespace {

// The template's six X replaced by letters and digits.
QString temporaryName() {
    static constexpr char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString name = QString::fromLatin1(temporaryTemplate);
    const qsizetype first = name.indexOf(QLatin1String("XXXXXX"));
    for (qsizetype i = first; i < first + 6; ++i)
        name[i] = QLatin1Char(
            alphabet[QRandomGenerator::global()->bounded(static_cast<int>(sizeof alphabet - 1))]);
    return name;
}

} // namespace

bool makeFolders(const QString &path) {
    const QString folder = QDir::cleanPath(QDir(path).absolutePath());
    QStringList missing;
    for (QFileInfo at(folder); !at.exists() && !at.isSymLink() && !at.isRoot();
         at.setFile(at.path()))
        missing.prepend(at.filePath());
    const QDir top;
    for (const QString &made : missing)
        if (!top.mkdir(made, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) &&
            !QFileInfo(made).isDir()) // made by another copy meanwhile
            return false;
    return QFileInfo(folder).isDir();
}

Temporary::Temporary(Temporary &&other) noexcept
    : m_path(std::exchange(other.m_path, {})), m_handle(std::exchange(other.m_handle, -1)) {}

Temporary &Temporary::operator=(Temporary &&other) noexcept {
    if (this != &other) {
        Temporary old(std::move(*this));
        m_path = std::exchange(other.m_path, {});
        m_handle = std::exchange(other.m_handle, -1);
    }
    return *this;
}

Temporary::~Temporary() {
    if (m_handle >= 0)
        closeTemporary(m_handle);
}

Temporary writeTemporary(const QString &folder, const QByteArray &bytes) {
    constexpr int attempts = 100;
    for (int n = 0; n < attempts; ++n) {
        const QString path = QDir(folder).filePath(temporaryName());
        const Creation made = createWritten(path, bytes);
        switch (made.result) {
        case Created::written:
            return Temporary(path, made.handle);
        case Created::nameTaken:
            continue;
        case Created::failed:
            removeTemporary(path);
            return {};
        }
    }
    return {};
}

QString placeUnderFreeName(const Temporary &temporary, const QString &folder, const QString &name) {
    const QString placed = claimFreeName(name, QLatin1Char('-'), [&](const QString &candidate) {
        return claimOf(placeAsNew(temporary, QDir(folder).filePath(candidate)));
    });
    if (placed.isEmpty()) {
        removeTemporary(temporary.path());
        return {};
    }
    syncFolder(folder);
    return QDir(folder).filePath(placed);
}

bool LockedFile::replace(std::string_view bytes) {
    // The temporary has the save's form, so a start after a kill mid-way removes it.
    const QString folder = QFileInfo(m_path).path();
    LockedFile next;
    constexpr int attempts = 100;
    for (int n = 0;; ++n) {
        const QString path = QDir(folder).filePath(temporaryName());
        if (next.open(path, true) == Opened::locked)
            break;
        if (n == attempts || !QFileInfo::exists(path)) {
            m_diskFull = next.m_diskFull;
            return false;
        }
    }
    bool written = next.append(bytes);
    if (written && !next.sync()) {
        next.noteFailure();
        written = false;
    }
    if (!written || !takeOver(next)) {
        m_diskFull = next.m_diskFull;
        next.remove();
        return false;
    }
    return true;
}

Placed LockedFile::moveTo(const QString &path) {
    // A Temporary without a handle: only its name is moved, the lock stays with this file.
    const Placed placed = placeAsNew(Temporary(m_path, -1), path);
    if (placed == Placed::done)
        m_path = path;
    return placed;
}

} // namespace tapecalc::durable
