// The journal of the tape view: the file, its syncing, and the recovery at start.
#include "store/journal.h"

#include "core/journalformat.h"
#include "core/tapeformat.h"
#include "core/text.h"
#include "store/freename.h"
#include "store/tapefiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace tapecalc {

namespace {

using namespace std::chrono_literals;

// Length of the common start of two texts; compared in blocks, as most of a long tape
// is the same before and after a key.
qsizetype commonPrefix(const QString &a, const QString &b) {
    const qsizetype n = std::min(a.size(), b.size());
    constexpr qsizetype block = 2048;
    qsizetype at = 0;
    while (at + block <= n &&
           std::memcmp(a.constData() + at, b.constData() + at, block * sizeof(QChar)) == 0)
        at += block;
    while (at < n && a.at(at) == b.at(at))
        ++at;
    return at;
}

// Length of the common end of two texts, not reaching into their first `skip` units.
qsizetype commonSuffix(const QString &a, const QString &b, qsizetype skip) {
    const qsizetype n = std::min(a.size(), b.size()) - skip;
    qsizetype k = 0;
    while (k < n && a.at(a.size() - 1 - k) == b.at(b.size() - 1 - k))
        ++k;
    return k;
}

std::u16string_view units(const QString &text) {
    return {reinterpret_cast<const char16_t *>(text.utf16()),
            static_cast<std::size_t>(text.size())};
}

std::string changeRecord(qsizetype position, qsizetype removed, const QString &inserted) {
    return journal::changeRecord({static_cast<std::uint32_t>(position),
                                  static_cast<std::uint32_t>(removed), units(inserted)});
}

// The pid in a journal's name, or 0 when the name is no journal's.
qint64 journalPid(const QString &name) {
    const QString rest = name.mid(static_cast<qsizetype>(std::strlen(journalPrefix)));
    bool ok = false;
    const qint64 pid = rest.section(QLatin1Char('-'), 0, 0).toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}

} // namespace

TapeJournal::TapeJournal(QString dataFolder) : m_folder(std::move(dataFolder)) {}

TapeJournal::~TapeJournal() {
    stopSyncing();
    if (m_file.isOpen())
        m_file.sync();
}

qsizetype TapeJournal::follow(const QString &view, bool kept) {
    const qsizetype prefix = commonPrefix(m_view, view);
    if (prefix == m_view.size() && prefix == view.size())
        return prefix;
    const qsizetype suffix = commonSuffix(m_view, view, prefix);
    record(prefix, m_view.size() - prefix - suffix, view.mid(prefix, view.size() - prefix - suffix),
           kept);
    return prefix;
}

bool TapeJournal::edited(qsizetype position, qsizetype removed, const QString &inserted) {
    if (position < 0 || removed < 0 || position > m_view.size() ||
        removed > m_view.size() - position)
        return false;
    record(position, removed, inserted, false);
    return true;
}

void TapeJournal::record(qsizetype position, qsizetype removed, const QString &inserted,
                         bool kept) {
    m_view.replace(position, removed, inserted);
    const std::string keptMark = kept ? journal::keptRecord() : std::string();
    // A blank view (one a save would write as nothing) needs no file.
    const bool blank = isBlankText(units(m_view));
    if (!m_file.isOpen() || m_behind) {
        // The first real line starts a file from the whole view.
        if (!blank)
            rewrite(keptMark);
    } else if (blank) {
        // Cleared: nothing before matters any more, and a blank tape needs no file (nor
        // keeps one open in the folder, which Windows would not let go).
        discard();
    } else {
        append(changeRecord(position, removed, inserted) + keptMark);
    }
    m_kept = kept;
}

void TapeJournal::kept() {
    // Without a file (or with one behind) the next change writes the whole view anyway.
    if (!m_file.isOpen() || m_behind || m_kept)
        return;
    m_kept = true;
    // Once the changes outweigh the tape, the journal starts over from the kept tape, so
    // it stays near the size of one tape and the changes since its last save or open.
    const qint64 viewBytes = 2 * m_view.size();
    if (m_size > 2 * viewBytes + 65536)
        rewrite(journal::keptRecord());
    else
        append(journal::keptRecord());
}

void TapeJournal::discard() {
    stopSyncing();
    m_file.remove();
    m_behind = false;
}

void TapeJournal::rewrite(const std::string &tail) {
    if (!m_file.isOpen() && !openNew())
        return;
    std::string bytes(journal::header);
    if (!m_view.isEmpty())
        bytes += changeRecord(0, 0, m_view);
    bytes += tail;
    // A kill between the cut and the write leaves an empty journal, which loses nothing:
    // the file is new, or the tape blank, kept in a file, or already behind.
    m_behind = !m_file.truncate(0);
    m_size = 0;
    if (!m_behind)
        append(bytes);
}

bool TapeJournal::openNew() {
    QDir().mkpath(m_folder);
    const QString base =
        QString::fromLatin1(journalPrefix) + QString::number(QCoreApplication::applicationPid());
    // A name already there is another window's of this process, or a journal that could
    // not be recovered: never written over.
    const QString name = claimFreeName(base, QLatin1Char('-'), [this](const QString &candidate) {
        const QString path = QDir(m_folder).filePath(candidate);
        if (m_file.open(path, true) == durable::LockedFile::Opened::locked)
            return Claim::done;
        // Not a taken name: the folder takes no file.
        return QFileInfo::exists(path) ? Claim::taken : Claim::failed;
    });
    if (name.isEmpty())
        return false;
    m_path = QDir(m_folder).filePath(name);
    m_stop = false;
    m_syncer = std::thread([this] { syncLoop(); });
    return true;
}

void TapeJournal::append(const std::string &bytes) {
    if (!m_file.append(bytes)) {
        m_behind = true;
        return;
    }
    m_size += static_cast<qint64>(bytes.size());
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_dirty = true;
    }
    m_wake.notify_one();
}

void TapeJournal::stopSyncing() {
    if (!m_syncer.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_syncer.join();
}

void TapeJournal::syncLoop() {
    std::unique_lock<std::mutex> lock(m_mutex);
    auto last = std::chrono::steady_clock::now() - 1s;
    for (;;) {
        m_wake.wait(lock, [this] { return m_dirty || m_stop; });
        // The first change after a pause is synced at once; while keys follow each other
        // the next sync waits until a second has passed since the last.
        if (m_wake.wait_until(lock, last + 1s, [this] { return m_stop; }))
            return;
        m_dirty = false;
        lock.unlock();
        m_file.sync();
        last = std::chrono::steady_clock::now();
        lock.lock();
    }
}

QStringList recoverJournals(const QString &dataFolder, const QDateTime &moment) {
    const QDir folder(dataFolder);
    const qint64 self = QCoreApplication::applicationPid();
    QStringList recovered;
    const QStringList names =
        folder.entryList({QString::fromLatin1(journalPrefix) + QLatin1Char('*')},
                         QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &name : names) {
        // A copy that still runs keeps its journal: its process is there (and is no later
        // program that got the id again), or it holds the lock (another window of this
        // very process does).
        const qint64 pid = journalPid(name);
        const QDateTime written = QFileInfo(folder.filePath(name)).lastModified();
        if (pid == 0 || (pid != self && durable::processRunsSince(pid, written)))
            continue;
        durable::LockedFile file;
        if (file.open(folder.filePath(name), false) != durable::LockedFile::Opened::locked)
            continue;
        const journal::Replayed replayed = journal::replay(file.readAll().toStdString());
        const std::string text =
            savedBackText(QString::fromStdU16String(replayed.view).toStdString());
        if (!replayed.kept && !text.empty()) {
            const QString path =
                saveNewTapeFile(dataFolder, moment, encodeTapeText(QString::fromStdString(text)));
            if (path.isEmpty())
                continue; // the journal stays for the next start
            recovered << QFileInfo(path).fileName();
        }
        file.remove();
    }
    return recovered;
}

} // namespace tapecalc
