#include "TestSupport.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

using namespace maj;
using maj::test::errorOf;
using maj::test::OtherProcess;
using maj::test::TempDrive;

namespace {

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

// ---------------------------------------------------------------------------------------------
// Path mapping

TEST(FsPathMapping, WindowsPathsFindHostFilesWhateverTheirCase)
{
    TempDrive drive;
    drive.write("praxidome/parametres.mdb");
    drive.write("praxidome/Aide/aide.htm");
    QDir().mkpath(drive.host("praxidome/MAJ"));
    for (const char* name : {"Note.txt", "note.TXT", "NOTE.txt"})
        drive.write(QStringLiteral("praxidome/Cas/") + name);
    test::CurrentFolder here(drive.host("praxidome"));

    const struct
    {
        const char* windows;
        QString host;
    } cases[] = {
        {R"(C:\praxidome\PARAMETRES.MDB)", drive.host("praxidome/parametres.mdb")},
        {R"(c:\PRAXIDOME\aide\AIDE.HTM)", drive.host("praxidome/Aide/aide.htm")},
        {R"(c:\praxidome\maj\Cabinet_Dupont.pxd)", drive.host("praxidome/MAJ/Cabinet_Dupont.pxd")},
        {R"(c:\praxidome\Nouveau\Sous\Fichier.TXT)", drive.host("praxidome/Nouveau/Sous/Fichier.TXT")},
        // Names that differ only by letter case: the exact spelling, else the first in sorted order.
        {R"(c:\praxidome\cas\Note.txt)", drive.host("praxidome/Cas/Note.txt")},
        {R"(c:\praxidome\cas\note.txt)", drive.host("praxidome/Cas/NOTE.txt")},
        {R"(c:\praxidome\\\pat.mdb)", drive.host("praxidome/pat.mdb")},
        {R"(c:\praxidome\.\aide\..\pat.mdb)", drive.host("praxidome/pat.mdb")},
        {R"(c:\..\..\etc\passwd)", drive.host("etc/passwd")},
        {R"(c:\)", drive.host()},
        {R"(c:)", drive.host()},
        {R"(c:praxidome\pat.mdb)", drive.host("praxidome/pat.mdb")},
        {R"(Z:\TMP)", "/tmp"},
        {R"(z:\)", "/"},
        {R"(maj\x.pxd)", drive.host("praxidome/MAJ/x.pxd")}, // from the current folder
        {R"(\x)", drive.host("x")},                          // from its drive's root
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
        {"/usr/bin", R"(z:\usr\bin)"},
        {"/", R"(z:\)"},
        {drive.host() + "-other/x", nullptr}, // a sibling whose name starts alike
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
    EXPECT_EQ(fs::hostPath(R"(c:\x)"), "/opt/wine-cabinet/drive_c/x");
    qunsetenv("WINEPREFIX");
    qputenv("HOME", "/home/dentiste");
    EXPECT_EQ(fs::hostPath(R"(c:\x)"), "/home/dentiste/.wine/drive_c/x");
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
        EXPECT_EQ(errorOf([&] { fs::hostPath(QStringLiteral("c:\\") + name + "\\x"); }), err::BadFileName);
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
    setMode(drive.write("praxidome/ro.pxd"), 0444);
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
        {"delete a read-only file", [] { fs::deleteFile(R"(c:\praxidome\RO.pxd)"); }, err::PathFileAccess},
        {"time of a missing file", [] { fs::lastModified(R"(c:\praxidome\absent.log)"); }, err::FileNotFound},
        {"search for a pattern", [] { fs::searchTreeForFile(R"(c:\)", "a*.htm"); }, err::BadFileName},
        {"listing with a wildcard folder", [] { fs::listFiles(R"(c:\prax*\*.*)"); }, err::BadFileName},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(errorOf(c.call), c.number);
    }
    EXPECT_EQ(entries(drive.host("praxidome")), QStringList({"MAJ", "pat.mdb", "ro.pxd"}));
}

// ---------------------------------------------------------------------------------------------
// Attributes

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
        // Read-only is the write permission, for root too.
        EXPECT_EQ((modeOf(host) & 0222) == 0, (attrs & fs::ReadOnly) != 0);
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

TEST_F(FsCopy, RefusesToReplaceATargetThatAnotherProcessHasLocked)
{
    drive.write("MAJJAN2021/pat.mdb", "ancien");
    OtherProcess other(targetHost(), OtherProcess::Hold::WriteLock);
    ASSERT_TRUE(other.held());
    EXPECT_EQ(errorOf([] { fs::copyFile(R"(c:\praxidome\pat.mdb)", R"(c:\MAJJAN2021\pat.mdb)"); }),
              err::PermissionDenied);
    EXPECT_EQ(drive.read("MAJJAN2021/pat.mdb"), "ancien");
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
    drive.write(deep + "found.txt");
    drive.write(deeper + "toodeep.txt");
    EXPECT_EQ(fs::searchTreeForFile(R"(c:\)", "found.txt"),
              QStringLiteral("c:\\") + QString(deep).replace('/', '\\') + "found.txt");
    EXPECT_EQ(fs::searchTreeForFile(R"(c:\)", "toodeep.txt"), QString());
    EXPECT_EQ(fs::searchTreeForFile(R"(c:\d1)", "toodeep.txt"),
              QStringLiteral("c:\\") + QString(deeper).replace('/', '\\') + "toodeep.txt");
}

} // namespace
