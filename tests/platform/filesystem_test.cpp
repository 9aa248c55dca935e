#include "TestSupport.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "platform/jet/Sqlite.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace maj;
using maj::test::TempDrive;

namespace {

// The error number a call throws, 0 when it succeeds.
int errorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const MajError& e) {
        EXPECT_EQ(e.description(), standardDescription(e.number()));
        return e.number();
    }
    return 0;
}

mode_t modeOf(const QString& host)
{
    struct stat st;
    return ::stat(QFile::encodeName(host).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

void setMode(const QString& host, mode_t mode)
{
    ASSERT_EQ(::chmod(QFile::encodeName(host).constData(), mode), 0);
}

QByteArray rawDosAttrib(const QString& host)
{
    char buffer[256];
    const ssize_t size = ::getxattr(QFile::encodeName(host).constData(), "user.DOSATTRIB", buffer, sizeof buffer);
    return size < 0 ? QByteArray() : QByteArray(buffer, size);
}

void setRawDosAttrib(const QString& host, const QByteArray& value)
{
    ASSERT_EQ(::setxattr(QFile::encodeName(host).constData(), "user.DOSATTRIB", value.constData(), value.size(), 0), 0);
}

void setMtime(const QString& host, const QDateTime& when)
{
    const qint64 ms = when.toMSecsSinceEpoch();
    const struct timespec times[2] = {{ms / 1000, (ms % 1000) * 1000000}, {ms / 1000, (ms % 1000) * 1000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(host).constData(), times, 0), 0);
}

// Every entry of a host folder, hidden ones included.
QStringList entries(const QString& host)
{
    return QDir(host).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A second process that takes something (a lock, a transaction) and holds it until destroyed.
class ChildHolding
{
public:
    explicit ChildHolding(const std::function<bool()>& take)
    {
        int ready[2], release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            char c = take() ? 'y' : 'n';
            (void)!::write(ready[1], &c, 1);
            (void)!::read(release[0], &c, 1); // until the parent closes its end
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        m_release = release[1];
        char c = 'n';
        m_taken = ::read(ready[0], &c, 1) == 1 && c == 'y';
        ::close(ready[0]);
    }
    ~ChildHolding() { release(); }
    ChildHolding(const ChildHolding&) = delete;
    ChildHolding& operator=(const ChildHolding&) = delete;

    bool taken() const { return m_taken; }
    void release()
    {
        if (m_pid <= 0)
            return;
        ::close(m_release);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_release = -1;
    bool m_taken = false;
};

bool classicLock(const QString& host, short type)
{
    const int fd = ::open(QFile::encodeName(host).constData(), type == F_WRLCK ? O_RDWR : O_RDONLY);
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0; // the descriptor stays open in the child
}

// The child never closes the connection: the transaction lasts until the child ends.
bool sqliteTransaction(const QString& host, const char* sql)
{
    try {
        auto* db = new sqlite::Connection(host, sqlite::Connection::Mode::ReadWrite);
        db->exec(QString::fromLatin1(sql));
        return db->inTransaction();
    } catch (...) {
        return false;
    }
}

// ---------------------------------------------------------------------------------------------
// Path mapping

TEST(FsPathMapping, WindowsPathsFindHostFilesWhateverTheirCase)
{
    TempDrive drive;
    drive.write("praxidome/parametres.mdb");
    drive.write("praxidome/Aide/aide.htm");
    QDir().mkpath(drive.host("praxidome/MAJ"));

    const struct
    {
        const char* windows;
        QString host;
    } cases[] = {
        {R"(C:\praxidome\PARAMETRES.MDB)", drive.host("praxidome/parametres.mdb")},
        {R"(c:\PRAXIDOME\aide\AIDE.HTM)", drive.host("praxidome/Aide/aide.htm")},
        {R"(c:\praxidome\maj\Cabinet_Dupont.pxd)", drive.host("praxidome/MAJ/Cabinet_Dupont.pxd")},
        {R"(c:\praxidome\Nouveau\Sous\Fichier.TXT)", drive.host("praxidome/Nouveau/Sous/Fichier.TXT")},
        {R"(c:\praxidome\\\pat.mdb)", drive.host("praxidome/pat.mdb")},
        {R"(c:\praxidome\.\aide\..\pat.mdb)", drive.host("praxidome/pat.mdb")},
        {R"(c:\..\..\etc\passwd)", drive.host("etc/passwd")},
        {R"(c:\)", drive.host()},
        {R"(c:)", drive.host()},
        {R"(c:praxidome\pat.mdb)", drive.host("praxidome/pat.mdb")},
        {R"(Z:\TMP)", QStringLiteral("/tmp")},
        {R"(z:\)", QStringLiteral("/")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.windows);
        EXPECT_EQ(fs::hostPath(QString::fromUtf8(c.windows)), c.host);
    }
}

TEST(FsPathMapping, HostPathsReadAsDriveCOrZ)
{
    TempDrive drive;
    drive.write("praxidome/pat.mdb");
    const struct
    {
        QString host;
        const char* windows;
    } cases[] = {
        {drive.host("praxidome/pat.mdb"), R"(c:\praxidome\pat.mdb)"},
        {drive.host("praxidome/"), R"(c:\praxidome)"},
        {drive.host(), R"(c:\)"},
        {QStringLiteral("/usr/bin"), R"(z:\usr\bin)"},
        {QStringLiteral("/"), R"(z:\)"},
        {drive.host() + QStringLiteral("-other/x"), nullptr}, // a sibling whose name starts alike
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host.toStdString());
        const QString expected =
            c.windows ? QString::fromUtf8(c.windows) : QStringLiteral("z:") + QString(c.host).replace('/', '\\');
        EXPECT_EQ(fs::windowsPath(c.host), expected);
    }
}

TEST(FsPathMapping, DriveCFollowsTheEnvironmentAtEachCall)
{
    TempDrive drive;
    EXPECT_EQ(fs::hostPath(R"(c:\x)"), drive.host("x"));

    const QByteArray prefix = qgetenv("WINEPREFIX"), home = qgetenv("HOME");
    const bool hadPrefix = qEnvironmentVariableIsSet("WINEPREFIX");
    qunsetenv("MAJ_DRIVE_C");
    qputenv("WINEPREFIX", "/opt/wine-cabinet");
    EXPECT_EQ(fs::hostPath(R"(c:\x)"), QStringLiteral("/opt/wine-cabinet/drive_c/x"));
    qunsetenv("WINEPREFIX");
    qputenv("HOME", "/home/dentiste");
    EXPECT_EQ(fs::hostPath(R"(c:\x)"), QStringLiteral("/home/dentiste/.wine/drive_c/x"));
    qputenv("HOME", home);
    if (hadPrefix)
        qputenv("WINEPREFIX", prefix);
    qputenv("MAJ_DRIVE_C", QFile::encodeName(drive.host()));
}

TEST(FsPathMapping, NamesThatWindowsCannotHoldAreRefused)
{
    TempDrive drive;
    QDir().mkpath(drive.host("praxidome"));
    for (const char* bad : {"a/b", "a:b", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b", "a\tb"}) {
        const QString name = QString::fromUtf8(bad);
        SCOPED_TRACE(bad);
        const QString path = QStringLiteral("c:\\praxidome\\") + name;
        EXPECT_EQ(errorOf([&] { fs::hostPath(path); }), err::BadFileName);
        EXPECT_EQ(errorOf([&] { fs::hostPath(QStringLiteral("c:\\") + name + QStringLiteral("\\x")); }),
                  err::BadFileName);
        EXPECT_EQ(errorOf([&] { fs::createFolder(path); }), err::BadFileName);
        EXPECT_FALSE(fs::fileExists(path));
    }
    // A slash is never a separator: nothing is created under praxidome/a.
    EXPECT_EQ(entries(drive.host("praxidome")), QStringList());
}

TEST(FsPathMapping, ExistenceOfFilesAndFolders)
{
    TempDrive drive;
    drive.write("praxidome/pat.mdb");
    EXPECT_TRUE(fs::fileExists(R"(c:\PRAXIDOME\PAT.MDB)"));
    EXPECT_FALSE(fs::fileExists(R"(c:\praxidome)"));
    EXPECT_TRUE(fs::folderExists(R"(c:\praxidome)"));
    EXPECT_FALSE(fs::folderExists(R"(c:\praxidome\pat.mdb)"));
    EXPECT_FALSE(fs::fileExists(R"(c:\praxidome\absent.mdb)"));
    EXPECT_FALSE(fs::folderExists(R"(d:\)"));
}

// What each operation throws for a missing drive, folder or file, or a name that cannot be.
TEST(FsErrors, MissingDrivesFoldersAndFiles)
{
    TempDrive drive;
    drive.write("praxidome/pat.mdb");
    QDir().mkpath(drive.host("praxidome/MAJ/sub"));
    const struct
    {
        const char* what;
        std::function<void()> call;
        int number;
    } cases[] = {
        {"drive d:", [] { fs::hostPath(R"(d:\maj\praxidome.exe)"); }, err::PathNotFound},
        {"drive A:", [] { fs::hostPath(R"(A:\)"); }, err::PathNotFound},
        {"drive q:", [] { fs::hostPath(R"(q:)"); }, err::PathNotFound},
        {"empty path", [] { fs::hostPath(QString()); }, err::BadFileName},
        {"attributes of a missing file", [] { fs::attributes(R"(c:\praxidome\absent.mdb)"); }, err::FileNotFound},
        {"attributes in a missing folder", [] { fs::attributes(R"(c:\absent\pat.mdb)"); }, err::PathNotFound},
        {"archive in a missing folder", [] { fs::setArchiveOnly(R"(c:\praxidome\aide\aide.htm)"); }, err::PathNotFound},
        {"archive of a missing file", [] { fs::setArchiveOnly(R"(c:\praxidome\aide.htm)"); }, err::FileNotFound},
        {"folder again", [] { fs::createFolder(R"(c:\praxidome)"); }, err::PathFileAccess},
        {"folder over a file", [] { fs::createFolder(R"(c:\praxidome\PAT.MDB)"); }, err::PathFileAccess},
        {"folder two levels down", [] { fs::createFolder(R"(c:\MAJ\sous)"); }, err::PathNotFound},
        {"delete a missing file", [] { fs::deleteFile(R"(c:\praxidome\maj\old.pxd)"); }, err::FileNotFound},
        {"delete in a missing folder", [] { fs::deleteFile(R"(c:\praxidome\absent\old.pxd)"); }, err::PathNotFound},
        {"delete a folder", [] { fs::deleteFile(R"(c:\praxidome\maj\sub)"); }, err::FileNotFound},
        {"time of a missing file", [] { fs::lastModified(R"(c:\praxidome\absent.log)"); }, err::FileNotFound},
        {"search for a pattern", [] { fs::searchTreeForFile(R"(c:\)", "a*.htm"); }, err::BadFileName},
        {"listing with a wildcard folder", [] { fs::listFiles(R"(c:\prax*\*.*)"); }, err::BadFileName},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(errorOf(c.call), c.number);
    }
    EXPECT_EQ(entries(drive.host("praxidome")), QStringList({"MAJ", "pat.mdb"}));
}

// ---------------------------------------------------------------------------------------------
// Attributes

TEST(FsAttributes, ReadOnlyIsTheWriteBitEvenForRoot)
{
    TempDrive drive;
    const QString host = drive.write("praxidome/pat.mdb");
    setMode(host, 0444);
    EXPECT_TRUE(fs::attributes(R"(c:\praxidome\pat.mdb)") & fs::ReadOnly);
    setMode(host, 0644);
    EXPECT_FALSE(fs::attributes(R"(c:\praxidome\pat.mdb)") & fs::ReadOnly);

    fs::setAttributes(R"(c:\praxidome\pat.mdb)", fs::ReadOnly | fs::Archive);
    EXPECT_EQ(modeOf(host) & 0222, 0u);
    EXPECT_EQ(fs::attributes(R"(c:\praxidome\pat.mdb)"), unsigned(fs::ReadOnly | fs::Archive));
}

TEST(FsAttributes, HiddenSystemAndArchiveLiveInTheExtendedAttribute)
{
    TempDrive drive;
    const QString host = drive.write("praxidome/pat.mdb");
    for (const unsigned attrs :
         {unsigned(fs::Normal), unsigned(fs::Hidden), unsigned(fs::System), unsigned(fs::Archive),
          unsigned(fs::Hidden | fs::System), unsigned(fs::Hidden | fs::System | fs::Archive | fs::ReadOnly)}) {
        SCOPED_TRACE(attrs);
        fs::setAttributes(R"(c:\praxidome\pat.mdb)", attrs);
        EXPECT_EQ(fs::attributes(R"(c:\praxidome\pat.mdb)"), attrs);
        EXPECT_EQ(rawDosAttrib(host), "0x" + QByteArray::number(attrs, 16));
    }
    // Forms that others write.
    setMode(host, 0644);
    const struct
    {
        QByteArray raw;
        unsigned expected;
    } written[] = {
        {"0x2", fs::Hidden},
        {"0x22", fs::Hidden | fs::Archive},
        {QByteArray("0x24\0\x03\x00\x03\x00\x00\x00", 10), fs::System | fs::Archive}, // Samba's binary form
        {"0x1", fs::Normal},      // read-only comes from the mode alone
        {"garbage", fs::Archive}, // unreadable: as without the attribute
    };
    for (const auto& c : written) {
        SCOPED_TRACE(c.raw.toStdString());
        setRawDosAttrib(host, c.raw);
        EXPECT_EQ(fs::attributes(R"(c:\praxidome\pat.mdb)"), c.expected);
    }
}

TEST(FsAttributes, DotFilesAreHiddenAndFoldersAreDirectories)
{
    TempDrive drive;
    drive.write("praxidome/.config");
    QDir().mkpath(drive.host("praxidome/aide"));
    EXPECT_TRUE(fs::attributes(R"(c:\praxidome\.config)") & fs::Hidden);
    EXPECT_EQ(fs::attributes(R"(c:\praxidome\aide)"), unsigned(fs::Directory));
}

TEST(FsAttributes, ArchiveOnlyClearsReadOnlyHiddenAndSystem)
{
    TempDrive drive;
    const QString host = drive.write("praxidome/praxidome.exe");
    fs::setAttributes(R"(c:\praxidome\praxidome.exe)", fs::ReadOnly | fs::Hidden | fs::System);
    ASSERT_EQ(modeOf(host) & 0222, 0u);
    fs::setArchiveOnly(R"(C:\Praxidome\Praxidome.EXE)");
    EXPECT_EQ(fs::attributes(R"(c:\praxidome\praxidome.exe)"), unsigned(fs::Archive));
    EXPECT_TRUE(modeOf(host) & S_IWUSR);
}

// ---------------------------------------------------------------------------------------------
// Listings

class FsListing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* name : {"b.pxd", "A.PXD", "readme", "c.txt", ".cache.pxd", "hid.pxd", "sys.txt", "ro.txt"})
            drive.write(QStringLiteral("praxidome/MAJ/") + QString::fromUtf8(name));
        QDir().mkpath(drive.host("praxidome/MAJ/archive.pxd"));
        setRawDosAttrib(drive.host("praxidome/MAJ/hid.pxd"), "0x22");
        setRawDosAttrib(drive.host("praxidome/MAJ/sys.txt"), "0x4");
        setMode(drive.host("praxidome/MAJ/ro.txt"), 0444);
    }
    TempDrive drive;
};

TEST_F(FsListing, NormalFilesMatchingAPatternSortedWithStoredNames)
{
    const struct
    {
        const char* pattern;
        QStringList names;
    } cases[] = {
        {R"(c:\praxidome\MAJ\*.*)", {"A.PXD", "b.pxd", "c.txt", "readme", "ro.txt"}},
        {R"(c:\PRAXIDOME\maj\*.pxd)", {"A.PXD", "b.pxd"}},
        {R"(c:\praxidome\maj\*.PXD)", {"A.PXD", "b.pxd"}},
        {R"(c:\praxidome\maj\*)", {"A.PXD", "b.pxd", "c.txt", "readme", "ro.txt"}},
        {R"(c:\praxidome\maj\)", {"A.PXD", "b.pxd", "c.txt", "readme", "ro.txt"}},
        {R"(c:\praxidome\maj\?.txt)", {"c.txt"}},
        {R"(c:\praxidome\maj\readme.*)", {"readme"}},
        {R"(c:\praxidome\maj\B.PXD)", {"b.pxd"}},
        {R"(c:\praxidome\maj\ro.txt)", {"ro.txt"}},
        {R"(c:\praxidome\maj\hid.pxd)", {}},
        {R"(c:\praxidome\maj\sys.txt)", {}},
        {R"(c:\praxidome\maj\.cache.pxd)", {}},
        {R"(c:\praxidome\maj\archive.pxd)", {}},
        {R"(c:\praxidome\maj\absent.pxd)", {}},
        {R"(c:\praxidome\maj\*.mdb)", {}},
        {R"(c:\praxidome\nowhere\*.*)", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(fs::listFiles(QString::fromUtf8(c.pattern)), c.names);
    }
}

TEST_F(FsListing, EmptyingTheWorkFolderLeavesHiddenSystemAndFolders)
{
    for (const QString& name : fs::listFiles(R"(c:\praxidome\MAJ\*.*)")) {
        fs::setArchiveOnly(QStringLiteral("c:\\praxidome\\MAJ\\") + name);
        fs::deleteFile(QStringLiteral("c:\\praxidome\\MAJ\\") + name);
    }
    EXPECT_EQ(entries(drive.host("praxidome/MAJ")), QStringList({".cache.pxd", "archive.pxd", "hid.pxd", "sys.txt"}));
}

// ---------------------------------------------------------------------------------------------
// Copy

class FsCopy : public ::testing::Test
{
protected:
    void SetUp() override
    {
        source = drive.write("praxidome/pat.mdb", "nouveau contenu");
        QDir().mkpath(drive.host("MAJJAN2021"));
    }
    QString targetHost() const { return drive.host("MAJJAN2021/pat.mdb"); }
    TempDrive drive;
    QString source;
};

TEST_F(FsCopy, ReplacesTheTargetWithContentTimeAndAttributesKeepingItsStoredName)
{
    QByteArray content(3 * 1024 * 1024 + 17, '\0'); // more than one buffer
    for (qsizetype i = 0; i < content.size(); ++i)
        content[i] = char(i * 31 % 251);
    drive.write("praxidome/pat.mdb", content);
    const QDateTime when(QDate(2020, 1, 2), QTime(3, 4, 5, 600));
    setMtime(source, when);
    setRawDosAttrib(source, "0x2");
    setMode(source, 0444);
    drive.write("MAJJAN2021/Pat.MDB", "ancien contenu");

    fs::copyFile(R"(c:\praxidome\pat.mdb)", R"(c:\majjan2021\pat.mdb)");
    EXPECT_EQ(drive.read("MAJJAN2021/Pat.MDB"), content);
    EXPECT_EQ(entries(drive.host("MAJJAN2021")), QStringList({"Pat.MDB"}));
    EXPECT_EQ(fs::lastModified(R"(c:\MAJJAN2021\pat.mdb)"), when);
    EXPECT_EQ(fs::attributes(R"(c:\MAJJAN2021\pat.mdb)"), unsigned(fs::ReadOnly | fs::Hidden | fs::Archive));
    fs::setArchiveOnly(R"(c:\MAJJAN2021\pat.mdb)");
    EXPECT_EQ(modeOf(drive.host("MAJJAN2021/Pat.MDB")) & 0200, 0200u);
}

TEST_F(FsCopy, FailuresLeaveTheTargetAndNoTemporaryFile)
{
    drive.write("MAJJAN2021/pat.mdb", "ancien");
    drive.write("MAJJAN2021/dossier/x");
    const struct
    {
        const char* from;
        const char* to;
        int number;
        std::function<void()> prepare;
    } cases[] = {
        {R"(c:\praxidome\pat.mdb)", R"(c:\MAJJAN2021\pat.mdb)", err::PathFileAccess,
         [this] { setMode(targetHost(), 0444); }},
        {R"(c:\praxidome\absent.mdb)", R"(c:\MAJJAN2021\pat.mdb)", err::FileNotFound, [] {}},
        {R"(c:\absent\pat.mdb)", R"(c:\MAJJAN2021\pat.mdb)", err::PathNotFound, [] {}},
        {R"(c:\praxidome\pat.mdb)", R"(c:\MAJFEV2021\pat.mdb)", err::PathNotFound, [] {}},
        {R"(c:\praxidome\pat.mdb)", R"(c:\MAJJAN2021\dossier)", err::PathFileAccess, [] {}},
        {R"(c:\praxidome)", R"(c:\MAJJAN2021\x)", err::PathFileAccess, [] {}},
        {R"(c:\praxidome\pat.mdb)", R"(c:\MAJJAN2021\p?t.mdb)", err::BadFileName, [] {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
        c.prepare();
        EXPECT_EQ(errorOf([&] { fs::copyFile(QString::fromUtf8(c.from), QString::fromUtf8(c.to)); }), c.number);
        EXPECT_EQ(drive.read("MAJJAN2021/pat.mdb"), "ancien");
        EXPECT_EQ(entries(drive.host("MAJJAN2021")), QStringList({"dossier", "pat.mdb"}));
        setMode(targetHost(), 0644);
    }
}

TEST_F(FsCopy, FailsWhileAnotherProcessHoldsAWriteLockOnTheSource)
{
    QFile::remove(source);
    sqlite::Connection(source, sqlite::Connection::Mode::ReadWriteCreate).exec("CREATE TABLE t(x)");
    const struct
    {
        const char* holder;
        std::function<bool()> take;
        int number;
    } cases[] = {
        {"classic write lock", [this] { return classicLock(source, F_WRLCK); }, err::PermissionDenied},
        {"classic read lock", [this] { return classicLock(source, F_RDLCK); }, 0},
        {"SQLite write transaction",
         [this] { return sqliteTransaction(source, "BEGIN IMMEDIATE; INSERT INTO t VALUES (1);"); },
         err::PermissionDenied},
        // Its connection has the file open for writing: no lock needed to see it.
        {"SQLite read transaction", [this] { return sqliteTransaction(source, "BEGIN; SELECT count(*) FROM t;"); },
         err::PermissionDenied},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.holder);
        ChildHolding child(c.take);
        ASSERT_TRUE(child.taken());
        EXPECT_EQ(errorOf([] { fs::copyFile(R"(c:\praxidome\pat.mdb)", R"(c:\MAJJAN2021\pat.mdb)"); }), c.number);
        child.release();
        EXPECT_EQ(errorOf([] { fs::copyFile(R"(c:\praxidome\pat.mdb)", R"(c:\MAJJAN2021\pat.mdb)"); }), 0);
        EXPECT_EQ(entries(drive.host("MAJJAN2021")), QStringList({"pat.mdb"}));
        QFile::remove(targetHost());
    }
}

TEST_F(FsCopy, RefusesToReplaceATargetThatAnotherProcessHasLocked)
{
    drive.write("MAJJAN2021/pat.mdb", "ancien");
    ChildHolding child([this] { return classicLock(targetHost(), F_WRLCK); });
    ASSERT_TRUE(child.taken());
    EXPECT_EQ(errorOf([] { fs::copyFile(R"(c:\praxidome\pat.mdb)", R"(c:\MAJJAN2021\pat.mdb)"); }),
              err::PermissionDenied);
    EXPECT_EQ(drive.read("MAJJAN2021/pat.mdb"), "ancien");
}

// ---------------------------------------------------------------------------------------------
// Folders, deletion, times

TEST(FsFolders, CreatesOneLevelOnce)
{
    TempDrive drive;
    drive.write("praxidome/pat.mdb");
    fs::createFolder(R"(c:\MAJJAN2021)");
    EXPECT_TRUE(QFileInfo(drive.host("MAJJAN2021")).isDir());
    EXPECT_EQ(errorOf([] { fs::createFolder(R"(c:\majjan2021)"); }), err::PathFileAccess);
    fs::createFolder(R"(c:\praxidome\Mails\)");
    EXPECT_EQ(entries(drive.host("praxidome")), QStringList({"Mails", "pat.mdb"}));
}

TEST(FsDelete, DeletesWritableFilesOnly)
{
    TempDrive drive;
    drive.write("praxidome/MAJ/old.pxd");
    drive.write("praxidome/MAJ/ro.pxd");
    setMode(drive.host("praxidome/MAJ/ro.pxd"), 0444);
    QDir().mkpath(drive.host("praxidome/MAJ/sub"));

    fs::deleteFile(R"(c:\praxidome\maj\OLD.PXD)");
    EXPECT_FALSE(QFile::exists(drive.host("praxidome/MAJ/old.pxd")));
    EXPECT_EQ(errorOf([] { fs::deleteFile(R"(c:\praxidome\maj\old.pxd)"); }), err::FileNotFound);
    EXPECT_EQ(errorOf([] { fs::deleteFile(R"(c:\praxidome\maj\ro.pxd)"); }), err::PathFileAccess);
    EXPECT_TRUE(QFile::exists(drive.host("praxidome/MAJ/ro.pxd")));
    fs::setArchiveOnly(R"(c:\praxidome\maj\ro.pxd)");
    fs::deleteFile(R"(c:\praxidome\maj\ro.pxd)");
    EXPECT_EQ(entries(drive.host("praxidome/MAJ")), QStringList({"sub"}));
}

TEST(FsTimes, LastModifiedInLocalTime)
{
    TempDrive drive;
    const QString host = drive.write("praxidome/st6unst.log");
    const QDateTime when(QDate(2019, 7, 14), QTime(22, 15, 30));
    setMtime(host, when);
    const QDateTime read = fs::lastModified(R"(c:\praxidome\ST6UNST.LOG)");
    EXPECT_EQ(read, when);
    EXPECT_EQ(read.timeSpec(), Qt::LocalTime);
}

TEST(FsCurrentFolder, IsAWindowsPathWithoutFinalBackslashExceptAtARoot)
{
    TempDrive drive;
    QDir().mkpath(drive.host("praxidome/MAJ"));
    const QString saved = QDir::currentPath();
    const struct
    {
        QString host;
        const char* windows;
    } cases[] = {
        {drive.host("praxidome/MAJ"), R"(c:\praxidome\MAJ)"},
        {drive.host(), R"(c:\)"},
        {QStringLiteral("/"), R"(z:\)"},
        {QStringLiteral("/usr/share"), R"(z:\usr\share)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.windows);
        ASSERT_TRUE(QDir::setCurrent(c.host));
        EXPECT_EQ(fs::currentFolder(), QString::fromUtf8(c.windows));
    }
    // Paths without a drive are relative to the current folder.
    ASSERT_TRUE(QDir::setCurrent(drive.host("praxidome")));
    EXPECT_EQ(fs::hostPath(R"(maj\x.pxd)"), drive.host("praxidome/MAJ/x.pxd"));
    EXPECT_EQ(fs::hostPath(R"(\x)"), drive.host("x"));
    QDir::setCurrent(saved);
}

// ---------------------------------------------------------------------------------------------
// Tree search

TEST(FsTreeSearch, FindsTheFirstFileOfThatNameDownTheTree)
{
    TempDrive drive;
    drive.write("praxidome/ASSURABILITY/P12/PRD/TrustStore.jks");
    drive.write("praxidome/ASSURABILITY/P12/readme.txt");
    drive.write("praxidome/aide/aide.htm");
    drive.write("praxidome/aide.htm");
    QDir().mkpath(drive.host("praxidome/ASSURABILITY/truststore.jks")); // a folder is no match

    const struct
    {
        const char* root;
        const char* name;
        const char* found;
    } cases[] = {
        {R"(c:\praxidome)", "truststore.jks", R"(c:\praxidome\ASSURABILITY\P12\PRD\TrustStore.jks)"},
        {R"(c:\)", "README.TXT", R"(c:\praxidome\ASSURABILITY\P12\readme.txt)"},
        {R"(c:\praxidome)", "aide.htm", R"(c:\praxidome\aide.htm)"}, // the root's own file first
        {R"(c:\praxidome\aide)", "aide.htm", R"(c:\praxidome\aide\aide.htm)"},
        {R"(c:\praxidome)", "absent.jks", ""},
        {R"(c:\absent)", "aide.htm", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.root) + " " + c.name);
        EXPECT_EQ(fs::searchTreeForFile(QString::fromUtf8(c.root), QString::fromUtf8(c.name)),
                  QString::fromUtf8(c.found));
    }
}

TEST(FsTreeSearch, SearchesAtMost32FolderLevels)
{
    TempDrive drive;
    // 31 levels below the root (32 folders with the root) is found, one level more is not.
    QString deep, deeper;
    for (int i = 1; i <= 32; ++i) {
        deeper += QStringLiteral("d%1/").arg(i);
        if (i == 31)
            deep = deeper;
    }
    drive.write(deep + QStringLiteral("found.txt"));
    drive.write(deeper + QStringLiteral("toodeep.txt"));
    EXPECT_EQ(fs::searchTreeForFile(R"(c:\)", "found.txt"),
              QStringLiteral("c:\\") + QString(deep).replace('/', '\\') + QStringLiteral("found.txt"));
    EXPECT_EQ(fs::searchTreeForFile(R"(c:\)", "toodeep.txt"), QString());
    EXPECT_EQ(fs::searchTreeForFile(R"(c:\d1)", "toodeep.txt"),
              QStringLiteral("c:\\") + QString(deeper).replace('/', '\\') + QStringLiteral("toodeep.txt"));
}

} // namespace
