#include "TestSupport.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace maj;
using namespace maj::test;

namespace {

struct Fs : ::testing::Test
{
    TempDrive drive;
};

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

// ---------------------------------------------------------------------------------------------
// Path mapping

TEST_F(Fs, WindowsPathsFindHostFilesWhateverTheirCase)
{
    drive.write("praxidome/parametres.mdb");
    drive.write("praxidome/Aide/aide.htm");
    QDir().mkpath(drive.host("praxidome/MAJ"));
    for (const char* name : {"Note.txt", "note.TXT", "NOTE.txt"})
        drive.write(QStringLiteral("praxidome/Cas/") + name);
    test::CurrentFolder here(drive.host("praxidome"));

    const std::pair<const char*, QString> cases[] = {
        {R"(C:\praxidome\PARAMETRES.MDB)", drive.host("praxidome/parametres.mdb")},
        {R"(c:\PRAXIDOME\aide\AIDE.HTM)", drive.host("praxidome/Aide/aide.htm")},
        {R"(c:\praxidome\maj\Cabinet_Dupont.pxd)", drive.host("praxidome/MAJ/Cabinet_Dupont.pxd")},
        // Names that differ only by letter case: the exact spelling, else the first in sorted order.
        {R"(c:\praxidome\cas\Note.txt)", drive.host("praxidome/Cas/Note.txt")},
        {R"(c:\praxidome\cas\note.txt)", drive.host("praxidome/Cas/NOTE.txt")},
        {R"(c:\praxidome\\\pat.mdb)", drive.host("praxidome/pat.mdb")},
        {R"(c:\praxidome\.\aide\..\pat.mdb)", drive.host("praxidome/pat.mdb")},
        {R"(c:\..\..\etc\passwd)", drive.host("etc/passwd")},
        {R"(c:\)", drive.host()},
        {R"(c:praxidome\pat.mdb)", drive.host("praxidome/pat.mdb")},
        {R"(Z:\TMP)", "/tmp"},
        {R"(maj\x.pxd)", drive.host("praxidome/MAJ/x.pxd")}, // from the current folder
        {R"(\x)", drive.host("x")},                          // from its drive's root
    };
    for (const auto& [windows, host] : cases) {
        SCOPED_TRACE(windows);
        EXPECT_EQ(fs::hostPath(QString::fromUtf8(windows)), host);
    }
    // Drive c: follows the environment at each call.
    EnvironmentValue noDrive("MAJ_DRIVE_C", ""), prefix("WINEPREFIX", "/opt/wine-cabinet");
    EXPECT_EQ(fs::hostPath(R"(c:\x)"), "/opt/wine-cabinet/drive_c/x");
    EnvironmentValue noPrefix("WINEPREFIX", ""), home("HOME", "/home/dentiste");
    EXPECT_EQ(fs::hostPath(R"(c:\x)"), "/home/dentiste/.wine/drive_c/x");
}

// Host paths read as drive c: or z:; a file is no folder and a folder no file.
TEST_F(Fs, HostPathsReadAsDriveCOrZ)
{
    drive.write("praxidome/pat.mdb");
    EXPECT_FALSE(fs::fileExists(R"(c:\praxidome)") || fs::folderExists(R"(c:\praxidome\pat.mdb)"));
    EXPECT_FALSE(fs::fileExists(R"(c:\praxidome\absent.mdb)") || fs::folderExists(R"(d:\)"));
    const std::pair<QString, QString> cases[] = {
        {drive.host("praxidome/pat.mdb"), R"(c:\praxidome\pat.mdb)"},
        {drive.host("praxidome/"), R"(c:\praxidome)"},
        {drive.host(), R"(c:\)"},
        {"/usr/bin", R"(z:\usr\bin)"},
        {"/", R"(z:\)"},
        {drive.host() + "-other/x", "z:" + QString(drive.host() + "-other/x").replace('/', '\\')}, // a sibling alike
    };
    for (const auto& [host, windows] : cases) {
        SCOPED_TRACE(host.toStdString());
        EXPECT_EQ(fs::windowsPath(host), windows);
    }
}

// What each operation throws for a missing drive, folder or file, or a name that cannot be.
TEST_F(Fs, MissingDrivesFoldersAndFiles)
{
    // Names that Windows cannot hold.
    for (const QString name : {"a/b", "a:b", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b", "a\tb"}) {
        SCOPED_TRACE(name.toStdString());
        const QString path = QStringLiteral("c:\\praxidome\\") + name;
        EXPECT_EQ(errorOf([&] { fs::hostPath(path); }), err::BadFileName);
        EXPECT_FALSE(fs::fileExists(path));
    }
    drive.write("praxidome/pat.mdb");
    setMode(drive.write("praxidome/ro.pxd"), 0444);
    QDir().mkpath(drive.host("praxidome/MAJ/sub"));
    const std::tuple<const char*, std::function<void()>, int> cases[] = {
        {"drive q:", [] { fs::hostPath(R"(q:)"); }, err::PathNotFound},
        {"empty path", [] { fs::hostPath(QString()); }, err::BadFileName},
        {"attributes of a missing file", [] { fs::attributes(R"(c:\praxidome\absent.mdb)"); }, err::FileNotFound},
        {"attributes in a missing folder", [] { fs::attributes(R"(c:\absent\pat.mdb)"); }, err::PathNotFound},
        {"archive in a missing folder", [] { fs::setArchiveOnly(R"(c:\praxidome\aide\aide.htm)"); }, err::PathNotFound},
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
    for (const auto& [what, call, number] : cases) {
        SCOPED_TRACE(what);
        EXPECT_EQ(errorOf(call), number);
    }
    EXPECT_EQ(drive.entries("praxidome"), QStringList({"MAJ", "pat.mdb", "ro.pxd"}));
}

// ---------------------------------------------------------------------------------------------
// Attributes

TEST_F(Fs, HiddenSystemAndArchiveLiveInTheExtendedAttribute)
{
    const QString host = drive.write("praxidome/pat.mdb");
    for (const unsigned attrs :
         {0u, unsigned(fs::Hidden), unsigned(fs::Hidden | fs::System | fs::Archive | fs::ReadOnly)}) {
        SCOPED_TRACE(attrs);
        fs::setAttributes(R"(c:\praxidome\pat.mdb)", attrs);
        EXPECT_EQ(fs::attributes(R"(c:\praxidome\pat.mdb)"), attrs);
        EXPECT_EQ(rawDosAttrib(host), "0x" + QByteArray::number(attrs, 16));
        // Read-only is the write permission, for root too.
        EXPECT_EQ(!(QFile::permissions(host) & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)),
                  (attrs & fs::ReadOnly) != 0);
    }
    // Forms that others write.
    setMode(host, 0644);
    const std::pair<QByteArray, unsigned> written[] = {
        {"0x2", fs::Hidden},
        {"0x22", fs::Hidden | fs::Archive},
        {QByteArray("0x24\0\x03\x00\x03\x00\x00\x00", 10), fs::System | fs::Archive}, // Samba's binary form
        {"0x1", fs::Normal},      // read-only comes from the mode alone
        {"garbage", fs::Archive}, // unreadable: as without the attribute
    };
    for (const auto& [raw, expected] : written) {
        SCOPED_TRACE(raw.toStdString());
        setRawDosAttrib(host, raw);
        EXPECT_EQ(fs::attributes(R"(c:\praxidome\pat.mdb)"), expected);
    }
    // Folders are directories.
    QDir().mkpath(drive.host("praxidome/aide"));
    EXPECT_EQ(fs::attributes(R"(c:\praxidome\aide)"), unsigned(fs::Directory));
}

// ---------------------------------------------------------------------------------------------
// Listings

TEST_F(Fs, NormalFilesMatchingAPatternSortedWithStoredNames)
{
    for (const char* name : {"b.pxd", "A.PXD", "readme", "c.txt", ".cache.pxd", "hid.pxd", "sys.txt", "ro.txt"})
        drive.write(QStringLiteral("praxidome/MAJ/") + name);
    QDir().mkpath(drive.host("praxidome/MAJ/archive.pxd"));
    setRawDosAttrib(drive.host("praxidome/MAJ/hid.pxd"), "0x22");
    setRawDosAttrib(drive.host("praxidome/MAJ/sys.txt"), "0x4");
    setMode(drive.host("praxidome/MAJ/ro.txt"), 0444);
    const std::pair<const char*, QStringList> cases[] = {
        {R"(c:\praxidome\MAJ\*.*)", {"A.PXD", "b.pxd", "c.txt", "readme", "ro.txt"}},
        {R"(c:\PRAXIDOME\maj\*.PXD)", {"A.PXD", "b.pxd"}},
        {R"(c:\praxidome\maj\)", {"A.PXD", "b.pxd", "c.txt", "readme", "ro.txt"}},
        {R"(c:\praxidome\maj\?.txt)", {"c.txt"}},
        {R"(c:\praxidome\maj\B.PXD)", {"b.pxd"}},
        {R"(c:\praxidome\maj\hid.pxd)", {}},
        {R"(c:\praxidome\maj\archive.pxd)", {}},
        {R"(c:\praxidome\maj\absent.pxd)", {}},
        {R"(c:\praxidome\nowhere\*.*)", {}},
    };
    for (const auto& [pattern, names] : cases) {
        SCOPED_TRACE(pattern);
        EXPECT_EQ(fs::listFiles(QString::fromUtf8(pattern)), names);
    }
}

// ---------------------------------------------------------------------------------------------
// Copy

struct FsCopy : Fs
{
    void SetUp() override
    {
        source = drive.write("praxidome/pat.mdb", "nouveau contenu");
        QDir().mkpath(drive.host("MAJJAN2021"));
    }
    QString targetHost() const { return drive.host("MAJJAN2021/pat.mdb"); }
    QString source;
};

TEST_F(FsCopy, ReplacesTheTargetWithContentTimeAndAttributesKeepingItsStoredName)
{
    QByteArray content(3 * 1024 * 1024 + 17, '\0'); // more than one buffer
    for (qsizetype i = 0; i < content.size(); ++i)
        content[i] = char(i * 31 % 251);
    drive.write("praxidome/pat.mdb", content);
    const QDateTime when(QDate(2020, 1, 2), QTime(3, 4, 5, 600));
    QFile file(source);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.setFileTime(when, QFileDevice::FileModificationTime));
    setRawDosAttrib(source, "0x2");
    setMode(source, 0444);
    drive.write("MAJJAN2021/Pat.MDB", "ancien contenu");

    fs::copyFile(R"(c:\praxidome\pat.mdb)", R"(c:\majjan2021\pat.mdb)");
    EXPECT_EQ(drive.read("MAJJAN2021/Pat.MDB"), content);
    EXPECT_EQ(drive.entries("MAJJAN2021"), QStringList({"Pat.MDB"}));
    EXPECT_EQ(fs::lastModified(R"(c:\MAJJAN2021\pat.mdb)"), when);
    EXPECT_EQ(fs::attributes(R"(c:\MAJJAN2021\pat.mdb)"), unsigned(fs::ReadOnly | fs::Hidden | fs::Archive));

    // The data reaches the disk before the copy takes the target's name: strace watches this test
    // run again, in which nothing else syncs.
    if (qEnvironmentVariableIsSet("MAJ_TRACED"))
        return;
    EnvironmentValue again("MAJ_TRACED", "1"),
        noLeaks("ASAN_OPTIONS", "detect_leaks=0"); // no LeakSanitizer under ptrace
    QProcess traced;
    const auto* self = ::testing::UnitTest::GetInstance()->current_test_info();
    traced.start("strace", {"-f", "-e", "trace=fsync,fdatasync,rename,renameat,renameat2", "-o", drive.host("trace"),
                            QFile::symLinkTarget("/proc/self/exe"),
                            QString("--gtest_filter=%1.%2").arg(self->test_suite_name(), self->name())});
    ASSERT_TRUE(traced.waitForFinished(120000) && traced.exitCode() == 0) << traced.readAll().toStdString();
    const QString calls = QString::fromUtf8(drive.read("trace"));
    const qsizetype renamed = calls.indexOf(QRegularExpression(R"(rename\w*\([^\n]*/MAJJAN2021/Pat\.MDB")"));
    ASSERT_GE(renamed, 0) << calls.toStdString();
    EXPECT_TRUE(calls.left(renamed).contains(QRegularExpression(R"(\bf(data)?sync\(\d+\) += 0)")))
        << calls.toStdString();
}

TEST_F(FsCopy, FailuresLeaveTheTargetAndNoTemporaryFile)
{
    drive.write("MAJJAN2021/pat.mdb", "ancien");
    drive.write("MAJJAN2021/dossier/x");
    std::optional<OtherProcess> other; // a process holding a lock on the target
    const std::tuple<const char*, const char*, int, std::function<void()>> cases[] = {
        {R"(c:\praxidome\pat.mdb)", R"(c:\MAJJAN2021\pat.mdb)", err::PathFileAccess,
         [this] { setMode(targetHost(), 0444); }},
        {R"(c:\praxidome\absent.mdb)", R"(c:\MAJJAN2021\pat.mdb)", err::FileNotFound, [] {}},
        {R"(c:\absent\pat.mdb)", R"(c:\MAJJAN2021\pat.mdb)", err::PathNotFound, [] {}},
        {R"(c:\praxidome\pat.mdb)", R"(c:\MAJFEV2021\pat.mdb)", err::PathNotFound, [] {}},
        {R"(c:\praxidome\pat.mdb)", R"(c:\MAJJAN2021\dossier)", err::PathFileAccess, [] {}},
        {R"(c:\praxidome)", R"(c:\MAJJAN2021\x)", err::PathFileAccess, [] {}},
        {R"(c:\praxidome\pat.mdb)", R"(c:\MAJJAN2021\p?t.mdb)", err::BadFileName, [] {}},
        {R"(c:\praxidome\pat.mdb)", R"(c:\MAJJAN2021\pat.mdb)", err::PermissionDenied,
         [&] { other.emplace(targetHost(), OtherProcess::Hold::WriteLock); }},
    };
    for (const auto& [from, to, number, prepare] : cases) {
        SCOPED_TRACE(std::string(from) + " -> " + to);
        prepare();
        EXPECT_EQ(errorOf([&] { fs::copyFile(QString::fromUtf8(from), QString::fromUtf8(to)); }), number);
        EXPECT_EQ(drive.read("MAJJAN2021/pat.mdb"), "ancien");
        EXPECT_EQ(drive.entries("MAJJAN2021"), QStringList({"dossier", "pat.mdb"}));
        setMode(targetHost(), 0644);
    }
}

// A copy killed in the middle of its data (the file size limit kills the process at the first
// write past it) leaves the target as it was and nothing beside it. The next copy into the folder
// removes the temporary copies that interrupted copies left there; one that a copy is writing
// (locked) stays, and so does a name that only looks alike.
TEST_F(FsCopy, AKilledCopyLeavesNoStrayFileAndLeftoversGoAtTheNextCopy)
{
    drive.write("praxidome/pat.mdb", QByteArray(1 << 20, 'n'));
    drive.write("MAJJAN2021/pat.mdb", "ancien");
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit size{64 * 1024, 64 * 1024}, noCore{0, 0};
        ::setrlimit(RLIMIT_FSIZE, &size);
        ::setrlimit(RLIMIT_CORE, &noCore);
        errorOf([] { fs::copyFile(R"(c:\praxidome\pat.mdb)", R"(c:\MAJJAN2021\pat.mdb)"); });
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    EXPECT_EQ(drive.entries("MAJJAN2021"), QStringList{"pat.mdb"});
    EXPECT_EQ(drive.read("MAJJAN2021/pat.mdb"), "ancien");

    drive.write("MAJJAN2021/.maj-copy-Ab12Cd", "left over");
    drive.write("MAJJAN2021/.maj-copy-notes", "not a copy");
    OtherProcess writing(drive.write("MAJJAN2021/.maj-copy-Zz99Yy", "being written"), OtherProcess::Hold::WriteLock);
    ASSERT_TRUE(writing.held());
    fs::copyFile(R"(c:\praxidome\pat.mdb)", R"(c:\MAJJAN2021\pat.mdb)");
    EXPECT_EQ(drive.entries("MAJJAN2021"), QStringList({".maj-copy-Zz99Yy", ".maj-copy-notes", "pat.mdb"}));
    EXPECT_EQ(drive.read("MAJJAN2021/pat.mdb"), QByteArray(1 << 20, 'n'));
}

// ---------------------------------------------------------------------------------------------
// Tree search

// The first file of that name down the tree, the root's own files first, 32 folder levels at most:
// 31 levels below the root is found, one level more is not.
TEST_F(Fs, FindsTheFirstFileOfThatNameDownTheTree)
{
    drive.write("praxidome/ASSURABILITY/P12/PRD/TrustStore.jks");
    drive.write("praxidome/ASSURABILITY/P12/readme.txt");
    drive.write("praxidome/aide/aide.htm");
    drive.write("praxidome/aide.htm");
    QDir().mkpath(drive.host("praxidome/ASSURABILITY/truststore.jks")); // a folder is no match
    QString deep;
    for (int i = 1; i <= 31; ++i)
        deep += QStringLiteral("d%1\\").arg(i);
    drive.write(QString(deep).replace('\\', '/') + "found.txt");
    drive.write(QString(deep).replace('\\', '/') + "d32/toodeep.txt");
    const std::tuple<const char*, const char*, QString> cases[] = {
        {R"(c:\praxidome)", "truststore.jks", R"(c:\praxidome\ASSURABILITY\P12\PRD\TrustStore.jks)"},
        {R"(c:\)", "README.TXT", R"(c:\praxidome\ASSURABILITY\P12\readme.txt)"},
        {R"(c:\praxidome)", "aide.htm", R"(c:\praxidome\aide.htm)"},
        {R"(c:\praxidome)", "absent.jks", ""},
        {R"(c:\absent)", "aide.htm", ""},
        {R"(c:\)", "found.txt", "c:\\" + deep + "found.txt"},
        {R"(c:\)", "toodeep.txt", ""},
        {R"(c:\d1)", "toodeep.txt", "c:\\" + deep + "d32\\toodeep.txt"},
    };
    for (const auto& [root, name, found] : cases) {
        SCOPED_TRACE(std::string(root) + " " + name);
        EXPECT_EQ(fs::searchTreeForFile(root, name), found);
    }
}

} // namespace
