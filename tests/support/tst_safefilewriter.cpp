#include "support/FileBytes.h"
#include "support/FileTargets.h"
#include "support/SafeFileWriter.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QIODevice>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

// The one rule every output file is written by, on real files, links, FIFOs and devices.
class TestSafeFileWriter : public QObject
{
    Q_OBJECT
public:
    enum class Target {
        NewFile,
        EarlierFile,
        LinkToFile,
        LinkToNothing,
        Fifo,
        LinkToFifo,
        DevNull,
        DevFull,
        Folder,
        MissingFolder,
        UnwritableFolder,
        DiskFullPartWay,
    };
    Q_ENUM(Target)

private Q_SLOTS:
    void init();
    void cleanup();

    void rule_data();
    void rule();
    void stoppedBeforeCommit_data();
    void stoppedBeforeCommit();
    void deviceWritesFollowTheRule_data();
    void deviceWritesFollowTheRule();
    void deviceAndDirectWritesKeepTheirOrder();
    void linksInSharedFolders_data();
    void linksInSharedFolders();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    // Every name under the test's folder, links and FIFOs included.
    QSet<QString> entries() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FifoReader> m_fifo;
};

namespace {

using Target = TestSafeFileWriter::Target;

const QByteArray earlier = "earlier contents\n";

// More than a pipe holds and more than the file size limit lets through.
QByteArray newContents()
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < 256 * 1024; ++i)
        bytes += "line " + QByteArray::number(i) + '\n';
    return bytes;
}

// The file a name leads to, links followed.
struct Behind
{
    ino_t inode = 0;
    mode_t mode = 0;
};

std::optional<Behind> behind(const QString &path)
{
    struct stat st
    {
    };
    if (stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return Behind {st.st_ino, st.st_mode};
}

bool makeLink(const QString &target, const QString &link)
{
    return symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0;
}

// The last row's setup: what is written to, and the regular file the bytes are to end up in
// (none for FIFOs and devices).
struct Setup
{
    QString target;
    QString file;
};

} // namespace

void TestSafeFileWriter::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestSafeFileWriter::cleanup()
{
    m_fifo.reset();
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_dir.reset();
}

QSet<QString> TestSafeFileWriter::entries() const
{
    QSet<QString> names;
    QDirIterator it(m_dir->path(),
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names.insert(it.next());
    return names;
}

void TestSafeFileWriter::rule_data()
{
    QTest::addColumn<Target>("target");
    // "created", "replaced": through a temporary file; "in place": written straight into;
    // "refused": a failure naming the file, and an earlier file as it was.
    QTest::addColumn<QString>("outcome");

    QTest::newRow("new file") << Target::NewFile << u"created"_qs;
    QTest::newRow("earlier file") << Target::EarlierFile << u"replaced"_qs;
    QTest::newRow("link to a file") << Target::LinkToFile << u"replaced"_qs;
    QTest::newRow("link to no file yet") << Target::LinkToNothing << u"created"_qs;
    QTest::newRow("FIFO with a reader") << Target::Fifo << u"in place"_qs;
    QTest::newRow("link to a FIFO") << Target::LinkToFifo << u"in place"_qs;
    QTest::newRow("/dev/null") << Target::DevNull << u"in place"_qs;
    QTest::newRow("/dev/full") << Target::DevFull << u"refused"_qs;
    QTest::newRow("a folder") << Target::Folder << u"refused"_qs;
    QTest::newRow("missing folder") << Target::MissingFolder << u"refused"_qs;
    QTest::newRow("unwritable folder") << Target::UnwritableFolder << u"refused"_qs;
    QTest::newRow("disk full part way") << Target::DiskFullPartWay << u"refused"_qs;
}

void TestSafeFileWriter::rule()
{
    QFETCH(Target, target);
    QFETCH(QString, outcome);

    Setup s;
    switch (target) {
    case Target::NewFile:
        s = {path(u"new.txt"_qs), path(u"new.txt"_qs)};
        break;
    case Target::EarlierFile:
    case Target::UnwritableFolder:
    case Target::DiskFullPartWay:
        s = {path(u"earlier.txt"_qs), path(u"earlier.txt"_qs)};
        QVERIFY(writeFile(s.file, earlier));
        // Not the mode a new file gets: a replaced file keeps its own.
        QVERIFY(
            QFile::setPermissions(s.file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        break;
    case Target::LinkToFile:
    case Target::LinkToNothing: {
        QVERIFY(QDir().mkpath(path(u"real"_qs)));
        const bool existing = target == Target::LinkToFile;
        s = {path(u"link.txt"_qs), path(existing ? u"real/earlier.txt"_qs : u"real/new.txt"_qs)};
        if (existing)
            QVERIFY(writeFile(s.file, earlier));
        QVERIFY(makeLink(existing ? u"real/earlier.txt"_qs : u"real/new.txt"_qs, s.target));
        break;
    }
    case Target::Fifo:
    case Target::LinkToFifo:
        m_fifo = std::make_unique<FifoReader>(path(u"fifo"_qs));
        QVERIFY(m_fifo->isValid());
        s.target = path(u"fifo"_qs);
        if (target == Target::LinkToFifo) {
            s.target = path(u"link"_qs);
            QVERIFY(makeLink(u"fifo"_qs, s.target));
        }
        break;
    case Target::DevNull:
        s.target = u"/dev/null"_qs;
        break;
    case Target::DevFull:
        s.target = u"/dev/full"_qs;
        break;
    case Target::Folder:
        QVERIFY(QDir().mkpath(path(u"folder"_qs)));
        s.target = path(u"folder"_qs);
        break;
    case Target::MissingFolder:
        s.target = path(u"missing/new.txt"_qs);
        break;
    }

    const QString kindBefore = fileKind(s.target);
    const std::optional<Behind> before = behind(s.target);
    const QSet<QString> namesBefore = entries();
    const QByteArray contents = newContents();

    bool saved = false;
    QString error;
    QString reason;
    {
        std::optional<OrdinaryFileUser> user;
        if (target == Target::UnwritableFolder) {
            QVERIFY(QFile::setPermissions(m_dir->path(),
                                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther
                                              | QFile::ExeOther));
            user.emplace();
        }
        // A writer that wrongly put a file in a device's place fails here, rather than
        // replacing /dev/null for the whole machine when the tests run as root.
        if (target == Target::DevNull || target == Target::DevFull)
            user.emplace();
        std::optional<FileSizeLimit> limit;
        if (target == Target::DiskFullPartWay)
            limit.emplace(64 * 1024);
        SafeFileWriter writer(s.target);
        saved = writer.open() && writer.write(contents) && writer.commit();
        error = writer.errorString();
        reason = writer.reason();
    }
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // Whatever happened, a name keeps its kind, and nothing is left beside it.
    QCOMPARE(fileKind(s.target), kindBefore == u"none"_qs && saved ? u"file"_qs : kindBefore);
    QSet<QString> expectedNames = namesBefore;
    if (outcome == u"created"_qs)
        expectedNames.insert(s.file);
    QCOMPARE(entries(), expectedNames);

    if (outcome == u"refused"_qs) {
        QVERIFY(!saved);
        QVERIFY(!reason.isEmpty());
        QCOMPARE(error, u"Could not save "_qs + s.target + u": "_qs + reason);
        if (!s.file.isEmpty())
            QCOMPARE(readFile(s.file), earlier);
        return;
    }
    QVERIFY2(saved, qPrintable(error));
    QVERIFY(error.isEmpty());
    const std::optional<Behind> after = behind(s.target);
    QVERIFY(after);
    if (outcome == u"in place"_qs) {
        QVERIFY(before);
        QCOMPARE(after->inode, before->inode);
        if (m_fifo)
            QCOMPARE(m_fifo->bytes(), contents);
        return;
    }
    QVERIFY(S_ISREG(after->mode));
    QCOMPARE(readFile(s.file), contents);
    if (outcome == u"replaced"_qs) {
        QVERIFY(before);
        QVERIFY(after->inode != before->inode); // a new file took the name
        QCOMPARE(after->mode, before->mode);
    }
}

void TestSafeFileWriter::stoppedBeforeCommit_data()
{
    QTest::addColumn<bool>("abandoned"); // else the writer is dropped without a word
    QTest::newRow("dropped") << false;
    QTest::newRow("abandoned") << true;
}

void TestSafeFileWriter::stoppedBeforeCommit()
{
    QFETCH(bool, abandoned);
    const QString file = path(u"earlier.txt"_qs);
    QVERIFY(writeFile(file, earlier));
    {
        SafeFileWriter writer(file);
        QVERIFY(writer.open());
        QVERIFY(writer.write(newContents()));
        if (abandoned) {
            QVERIFY(!writer.abandon(u"the report could not be made"_qs));
            QCOMPARE(writer.errorString(),
                     u"Could not save "_qs + file + u": the report could not be made"_qs);
            QVERIFY(!writer.write("more"));
            QVERIFY(!writer.commit());
            QCOMPARE(writer.reason(), u"the report could not be made"_qs);
        }
    }
    QCOMPARE(readFile(file), earlier);
    QCOMPARE(entries(), QSet<QString> {file});
}

void TestSafeFileWriter::deviceWritesFollowTheRule_data()
{
    QTest::addColumn<Target>("target");
    QTest::addColumn<bool>("saved");
    QTest::newRow("new file") << Target::NewFile << true;
    QTest::newRow("FIFO with a reader") << Target::Fifo << true;
    QTest::newRow("/dev/full") << Target::DevFull << false;
}

// A producer writing small pieces to device() gets the same rule, and hears of a failure.
void TestSafeFileWriter::deviceWritesFollowTheRule()
{
    QFETCH(Target, target);
    QFETCH(bool, saved);
    QString file = u"/dev/full"_qs;
    if (target == Target::NewFile)
        file = path(u"new.txt"_qs);
    if (target == Target::Fifo) {
        file = path(u"fifo"_qs);
        m_fifo = std::make_unique<FifoReader>(file);
        QVERIFY(m_fifo->isValid());
    }
    const QByteArray contents = newContents();
    std::optional<OrdinaryFileUser> user; // as in rule(): a device is never replaced
    if (target == Target::DevFull)
        user.emplace();
    SafeFileWriter writer(file);
    QVERIFY(writer.open());
    QIODevice &device = writer.device();
    QVERIFY(device.isWritable());
    bool written = true;
    for (qsizetype at = 0; written && at < contents.size(); at += 7)
        written = device.write(contents.mid(at, 7)) == qMin<qsizetype>(7, contents.size() - at);
    if (target == Target::NewFile) // nothing under the name before the commit
        QCOMPARE(fileKind(file), u"none"_qs);
    const bool committed = writer.commit();
    QCOMPARE(written && committed, saved);
    if (!saved) {
        QVERIFY(!written); // the producer learns of it while writing
        QVERIFY(!device.errorString().isEmpty());
        QCOMPARE(device.errorString(), writer.reason());
        QVERIFY(writer.errorString().contains(file));
        return;
    }
    QCOMPARE(m_fifo ? m_fifo->bytes() : readFile(file), contents);
}

void TestSafeFileWriter::deviceAndDirectWritesKeepTheirOrder()
{
    const QString file = path(u"mixed.txt"_qs);
    SafeFileWriter writer(file);
    QVERIFY(writer.open());
    QCOMPARE(writer.device().write("one "), 4);
    QVERIFY(writer.write("two "));
    QCOMPARE(writer.device().write("three"), 5);
    QVERIFY(writer.commit());
    QCOMPARE(readFile(file), QByteArray("one two three"));
}

void TestSafeFileWriter::linksInSharedFolders_data()
{
    QTest::addColumn<bool>("sticky");
    QTest::addColumn<bool>("everyoneWrites");
    QTest::addColumn<bool>("linkOfFollower"); // else the writer runs for another user
    QTest::addColumn<bool>("linkOfFolderOwner"); // else the folder belongs to another user
    QTest::addColumn<bool>("followed");

    QTest::newRow("shared folder, the user's own link") << true << true << true << false << true;
    QTest::newRow("shared folder, the folder owner's link")
        << true << true << false << true << true;
    QTest::newRow("shared folder, another user's link") << true << true << false << false << false;
    QTest::newRow("sticky folder only its owner writes") << true << false << false << false << true;
    QTest::newRow("folder everyone writes, not sticky") << false << true << false << false << true;
}

// A link planted in a folder like /tmp must not lead the writer into another user's file; a
// link elsewhere is written through as always.
void TestSafeFileWriter::linksInSharedFolders()
{
    QFETCH(bool, sticky);
    QFETCH(bool, everyoneWrites);
    QFETCH(bool, linkOfFollower);
    QFETCH(bool, linkOfFolderOwner);
    QFETCH(bool, followed);

    constexpr uint OtherFolderOwner = 65534;
    constexpr uint OtherUser = 4242;
    const QString shared = path(u"shared"_qs);
    QVERIFY(QDir().mkpath(shared));
    const QString victim = path(u"victim.txt"_qs);
    QVERIFY(writeFile(victim, earlier));
    const QString link = shared + u"/out.txt"_qs;
    QVERIFY(makeLink(u"../victim.txt"_qs, link));
    // The link is the test's own; the folder is given to another user when the row asks.
    if (!linkOfFolderOwner) {
        if (geteuid() != 0)
            QSKIP("giving the folder to another user needs root");
        QCOMPARE(chown(QFile::encodeName(shared).constData(), OtherFolderOwner, OtherFolderOwner),
                 0);
    }
    const mode_t mode = 0755 | (sticky ? S_ISVTX : 0) | (everyoneWrites ? 0777 : 0);
    QCOMPARE(chmod(QFile::encodeName(shared).constData(), mode), 0);

    if (!linkOfFollower)
        SafeFileWriter::setFollowingUser(OtherUser);
    const QString refused = SafeFileWriter::refusedLink(link);
    SafeFileWriter writer(link);
    const bool saved = writer.open() && writer.write(newContents()) && writer.commit();
    SafeFileWriter::setFollowingUser(std::nullopt);

    QCOMPARE(fileKind(link), u"link"_qs);
    QCOMPARE(saved, followed);
    QCOMPARE(refused.isEmpty(), followed);
    if (followed) {
        QCOMPARE(readFile(victim), newContents());
        return;
    }
    QCOMPARE(readFile(victim), earlier);
    QCOMPARE(writer.reason(), refused);
    QVERIFY2(refused.contains(u"symbolic link"_qs) && refused.contains(shared),
             qPrintable(refused));
    QCOMPARE(QDir(shared).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                    | QDir::NoDotAndDotDot),
             QStringList {u"out.txt"_qs});
}

QTEST_GUILESS_MAIN(TestSafeFileWriter)
#include "tst_safefilewriter.moc"
