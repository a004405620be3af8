// The journal of the tape view: the file, its syncing, and the recovery at start.
#include "store/journal.h"

#include "core/journalformat.h"
#include "core/tapeformat.h"
#include "core/text.h"
#include "store/freename.h"
#include "store/platform_p.h"
#include "store/tapefiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

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
    m_kept = kept;
    // A blank view (one a save would write as nothing) needs no file.
    if (isBlankText(units(m_view))) {
        // Cleared: nothing before matters any more, and a blank tape needs no file (nor
        // keeps one open in the folder, which Windows would not let go).
        if (m_file.isOpen() && !discard())
            return failed(Health::cannotWrite);
        m_behind = false;
        return;
    }
    store(position, removed, inserted, kept ? journal::keptRecord() : std::string());
}

void TapeJournal::kept() {
    if (m_kept && !m_behind)
        return;
    m_kept = true;
    // Without a file the view is blank: nothing to mark.
    if (m_file.isOpen() || m_behind)
        store(0, 0, {}, journal::keptRecord());
}

bool TapeJournal::discard() {
    stopSyncing();
    m_behind = false;
    m_torn = false;
    m_size = 0;
    if (m_file.remove())
        return true;
    // The name cannot go (a folder that turned read-only): emptied, the file holds no
    // tape for a later start to bring back, and the keys that follow go on in it.
    if (m_file.truncate(0) && m_file.sync()) {
        startSyncing();
        return true;
    }
    m_torn = true; // the cleared tape is still in it: only a start over may write there
    return false;
}

void TapeJournal::store(qsizetype position, qsizetype removed, const QString &inserted,
                        const std::string &keptMark) {
    if (!m_file.isOpen() || m_size == 0 || m_torn)
        return startOver(keptMark);
    // Behind: one record takes the file's view to the whole of this one.
    if (m_behind) {
        position = 0;
        removed = m_fileUnits;
    }
    const QString &added = m_behind ? m_view : inserted;
    journal::Work work = m_work;
    std::string records;
    if (removed > 0 || !added.isEmpty()) {
        records = changeRecord(position, removed, added);
        work.add(static_cast<std::uint64_t>(position), static_cast<std::uint64_t>(removed),
                 static_cast<std::uint64_t>(added.size()));
    }
    records += keptMark;
    // Once the changes outweigh the tape, or a replay would do much work, the file starts
    // over from the view: it stays near the size of one tape.
    if (m_size + static_cast<qint64>(records.size()) > sizeLimit() ||
        work.units > journal::workBound / 4)
        return startOver(keptMark);
    if (appendRecords(records))
        wrote(m_size + static_cast<qint64>(records.size()), work);
}

qint64 TapeJournal::sizeLimit() const {
    // Twice the view's bytes (two to a unit) and 64 KiB: the changes may outweigh the tape
    // that much before the file starts over.
    return std::min<qint64>(largestJournal, 2 * 2 * m_view.size() + 65536);
}

bool TapeJournal::appendRecords(const std::string &bytes) {
    if (m_file.append(bytes))
        return true;
    // What a failed write left is cut off, so the file ends with its last whole record.
    m_torn = !m_file.truncate(m_size);
    failed(m_file.diskFull() ? Health::diskFull : Health::cannotWrite);
    return false;
}

void TapeJournal::startOver(const std::string &keptMark) {
    std::string bytes(journal::header);
    bytes += changeRecord(0, 0, m_view);
    bytes += keptMark;
    if (static_cast<qint64>(bytes.size()) > largestJournal)
        return failed(Health::tooLong);
    if (!m_file.isOpen() && !openNew())
        return failed(m_file.diskFull() ? Health::diskFull : Health::cannotWrite);
    journal::Work work;
    work.add(0, 0, static_cast<std::uint64_t>(m_view.size()));
    if (m_size == 0 && !m_torn) {
        // A file with nothing in it yet: nothing to keep.
        if (appendRecords(bytes))
            wrote(static_cast<qint64>(bytes.size()), work);
        return;
    }
    // The syncing thread uses the handle that the file in place brings.
    stopSyncing();
    const bool replaced = m_file.replace(bytes);
    startSyncing();
    if (!replaced)
        return failed(m_file.diskFull() ? Health::diskFull : Health::cannotWrite);
    m_torn = false;
    wrote(static_cast<qint64>(bytes.size()), work);
}

void TapeJournal::wrote(qint64 size, const journal::Work &work) {
    m_size = size;
    m_work = work;
    m_fileUnits = m_view.size();
    m_behind = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_dirty = true;
    }
    m_wake.notify_one();
    // Caught up. A full disk may still take a record now and then (into the slack of the
    // file's last block): the file keeps up again only once the disk has a free block, so
    // the user does not hear of each such record, on a disk of any size.
    if (m_health != Health::keepsUp) {
        const QStorageInfo disk(m_folder);
        if (disk.isValid() && disk.bytesAvailable() < std::max(disk.blockSize(), 1))
            return;
        m_health = Health::keepsUp;
        if (m_onHealth)
            m_onHealth(m_health);
    }
}

void TapeJournal::failed(Health why) {
    m_behind = true;
    const bool was = m_health == Health::keepsUp;
    m_health = why;
    if (was && m_onHealth)
        m_onHealth(why);
}

bool TapeJournal::openNew() {
    durable::makeFolders(m_folder);
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
    m_size = 0;
    m_torn = false;
    startSyncing();
    return true;
}

void TapeJournal::startSyncing() {
    if (m_syncer.joinable())
        return;
    m_stop = false;
    m_syncer = std::thread([this] { syncLoop(); });
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

namespace {

// ".tapecalc-recovering-20261206$16$58$07-2" for "20261206$16$58$07-2.qtz", and back.
QString markerFor(const QString &tapeName) {
    return QString::fromLatin1(recoveringPrefix) + QFileInfo(tapeName).completeBaseName();
}
QString tapeOfMarker(const QString &markerName) {
    return markerName.mid(static_cast<qsizetype>(std::strlen(recoveringPrefix))) +
           QStringLiteral(".qtz");
}

// The tape file a recovery cut off after placing it made: the marker's tape, holding
// exactly `tape`. Empty when there is none.
QString alreadyMade(const QDir &folder, const QString &markerName, const QByteArray &tape) {
    const QString name = tapeOfMarker(markerName);
    const QFileInfo info(folder.filePath(name));
    if (!info.isFile() || info.isSymLink() || info.size() != tape.size())
        return {};
    QFile made(info.filePath());
    return made.open(QIODevice::ReadOnly) && made.readAll() == tape ? name : QString();
}

// `tape` as a new tape file named from `moment`; the journal is first named for the file
// it becomes, so that a kill between the two steps leaves a marker that finds the file.
// The file's name, or empty when it could not be made.
QString placeRecovered(durable::LockedFile &journal, const QDir &folder, const QDateTime &moment,
                       const QByteArray &tape) {
    const durable::Temporary temporary = durable::writeTemporary(folder.path(), tape);
    if (!temporary)
        return {};
    const QString name =
        claimFreeName(tapeFileName(moment), QLatin1Char('-'), [&](const QString &candidate) {
            const QString marker = folder.filePath(markerFor(candidate));
            if (QFileInfo::exists(folder.filePath(candidate)))
                return Claim::taken;
            if (journal.path() != marker) {
                switch (journal.moveTo(marker)) {
                case durable::Placed::done:
                    break;
                case durable::Placed::nameTaken: // another copy's recovery is making that file
                    return Claim::taken;
                case durable::Placed::failed:
                    return Claim::failed;
                }
            }
            return durable::claimOf(durable::placeAsNew(temporary, folder.filePath(candidate)));
        });
    if (name.isEmpty()) {
        durable::removeTemporary(temporary.path());
        return {};
    }
    durable::syncFolder(folder.path());
    return name;
}

// A journal put aside under `prefix`, named by what followed the journal's own prefix,
// so that no start takes it up again. The name it has now (the old one where it could
// not be renamed).
QString setAside(const QDir &folder, const QString &name, const char *prefix,
                 const std::function<durable::Placed(const QString &)> &moveTo) {
    const qsizetype own = static_cast<qsizetype>(std::strlen(
        name.startsWith(QLatin1String(recoveringPrefix)) ? recoveringPrefix : journalPrefix));
    const QString aside =
        claimFreeName(QString::fromLatin1(prefix) + name.mid(own), QLatin1Char('-'),
                      [&](const QString &candidate) {
                          return durable::claimOf(moveTo(folder.filePath(candidate)));
                      });
    return aside.isEmpty() ? name : aside;
}

bool isAsideName(QStringView name) {
    return name.startsWith(QLatin1String(damagedPrefix), Qt::CaseInsensitive) ||
           name.startsWith(QLatin1String(unknownPrefix), Qt::CaseInsensitive);
}

// Of the journals set aside, those of this start (`named` in its message) stay, and of the
// others the newest by their own last write (a link's own: one that leads nowhere has a
// time too), as long as there are no more than `keptAsideJournals` in all; the rest go.
void boundAside(const QDir &folder, const QStringList &named) {
    QStringList names = fileNamesIn(folder.path(), isAsideName, QDir::Hidden | QDir::System);
    names.removeIf([&](const QString &name) { return named.contains(name); });
    const qsizetype room = std::max<qsizetype>(0, keptAsideJournals - named.size());
    if (names.size() <= room)
        return;
    const auto written = [&](const QString &name) {
        return durable::entryWritten(folder.filePath(name));
    };
    std::stable_sort(names.begin(), names.end(),
                     [&](const QString &a, const QString &b) { return written(a) > written(b); });
    for (const QString &name : names.mid(room))
        durable::removeEntry(folder.filePath(name));
}

} // namespace

namespace {

// The journals in `folder` of copies that have ended: a copy that still runs keeps its
// journal while its process is there (and is no later program that got the id again);
// one that holds the lock is checked when it is claimed. Marker names of a recovery cut
// off are always taken up.
QStringList endedJournals(const QDir &folder) {
    const qint64 self = QCoreApplication::applicationPid();
    QStringList names = fileNamesIn(
        folder.path(),
        [](QStringView name) {
            return name.startsWith(QLatin1String(journalPrefix), Qt::CaseInsensitive) ||
                   name.startsWith(QLatin1String(recoveringPrefix), Qt::CaseInsensitive);
        },
        QDir::Hidden | QDir::System);
    names.removeIf([&](const QString &name) {
        if (name.startsWith(QLatin1String(recoveringPrefix)))
            return false;
        const qint64 pid = journalPid(name);
        const QDateTime written = QFileInfo(folder.filePath(name)).lastModified();
        return pid == 0 || (pid != self && durable::processRunsSince(pid, written));
    });
    return names;
}

// One ended journal, claimed by its lock (another window of this very process, or a
// recovery of another copy starting now, holds it otherwise): its tape placed as a new
// tape file, or the journal set aside or left as recoverJournals() says.
void recoverJournal(const QDir &folder, const QString &name, const QDateTime &moment,
                    Recovery &recovery) {
    const QString path = folder.filePath(name);
    const bool marker = name.startsWith(QLatin1String(recoveringPrefix));
    durable::LockedFile file;
    const durable::LockedFile::Opened opened = file.open(path, false);
    // No journal of ours (a link, a device): named once, as it is put aside. A file
    // this user may not open is another user's journal in a shared folder: theirs.
    if (opened == durable::LockedFile::Opened::refused &&
        durable::entryAt(path) != durable::Entry::file)
        recovery.left << setAside(folder, name, unknownPrefix, [&](const QString &to) {
            return durable::placeAsNew(durable::Temporary(path, -1), to);
        });
    if (opened != durable::LockedFile::Opened::locked)
        return;
    const std::optional<QByteArray> bytes = file.readAll(largestJournal);
    if (bytes && bytes->isEmpty()) {
        file.remove(); // made, and killed before its first write
        return;
    }
    const journal::Replayed replayed =
        bytes ? journal::replay(
                    std::string_view(bytes->constData(), static_cast<std::size_t>(bytes->size())))
              : journal::Replayed();
    const auto aside = [&](const char *prefix) {
        return setAside(folder, QFileInfo(file.path()).fileName(), prefix,
                        [&](const QString &to) { return file.moveTo(to); });
    };
    // Too large, unreadable, another version's or no journal at all: as it is, aside.
    if (!replayed.known) {
        recovery.left << aside(unknownPrefix);
        return;
    }
    const std::string text = tapeFileText(QString::fromStdU16String(replayed.view).toStdString());
    if (!replayed.kept && !text.empty()) {
        const QByteArray tape = encodeTapeText(QString::fromStdString(text));
        switch (tapeFit(tape, text)) {
        case TapeFit::fits:
            break;
        case TapeFit::tooLarge:
            recovery.tooLarge << aside(unknownPrefix);
            return;
        case TapeFit::rowTooLong:
            recovery.rowTooLong << aside(unknownPrefix);
            return;
        }
        QString made = marker ? alreadyMade(folder, name, tape) : QString();
        if (made.isEmpty())
            made = placeRecovered(file, folder, moment, tape);
        if (made.isEmpty())
            return; // the journal stays for the next start
        recovery.tapes << made;
    }
    if (replayed.damaged)
        recovery.left << aside(damagedPrefix);
    else
        file.remove();
}

} // namespace

Recovery recoverJournals(const QString &dataFolder, const QDateTime &moment) {
    const QDir folder(dataFolder);
    Recovery recovery;
    for (const QString &name : endedJournals(folder))
        recoverJournal(folder, name, moment, recovery);
    boundAside(folder, recovery.left + recovery.tooLarge + recovery.rowTooLong);
    // Named only while it is there.
    for (QStringList *named : {&recovery.left, &recovery.tooLarge, &recovery.rowTooLong})
        named->removeIf([&](const QString &name) {
            return durable::entryAt(folder.filePath(name)) == durable::Entry::none;
        });
    return recovery;
}

} // namespace tapecalc
