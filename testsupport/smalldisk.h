// A disk of its own for a test, small enough to fill: a tmpfs mounted on a folder (which
// needs root, as in CI), filled by one file until it takes no byte more, then freed.
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>

class SmallDisk {
  public:
    SmallDisk(const QString &folder, qint64 bytes) : m_folder(folder) {
        QDir().mkpath(folder);
        QProcess mount;
        mount.start(
            QStringLiteral("mount"),
            {"-t", "tmpfs", "-o", QStringLiteral("size=%1,mode=0755").arg(bytes), "tmpfs", folder});
        m_mounted = mount.waitForFinished() && mount.exitStatus() == QProcess::NormalExit &&
                    mount.exitCode() == 0;
    }
    ~SmallDisk() {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {"-l", m_folder});
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }

    // Grows one file until the disk refuses a single byte more. Whether it is full.
    bool fill() {
        QFile filler(QDir(m_folder).filePath(QStringLiteral(".filler")));
        if (!filler.open(QIODevice::Append | QIODevice::Unbuffered))
            return false;
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
        while (filler.write("f", 1) == 1) {
        }
        return true;
    }
    void free() { QFile::remove(QDir(m_folder).filePath(QStringLiteral(".filler"))); }

  private:
    QString m_folder;
    bool m_mounted = false;
};
