#include "TestSupport.h"
#include "platform/FileSystem.h"
#include "platform/FsPosix.h"

#include <QDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace maj;

namespace {

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A copy killed in the middle of its data (the file size limit kills the process at the first
// write past it) leaves the target as it was and nothing beside it.
TEST(InterruptedCopy, AKilledCopyLeavesNoStrayFile)
{
    test::TempDrive drive;
    drive.write("praxidome/eattest.mdb", "old");
    drive.write("MAJ/eattest.mdb", QByteArray(1 << 20, 'n'));
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit size{64 * 1024, 64 * 1024};
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_FSIZE, &size);
        ::setrlimit(RLIMIT_CORE, &noCore);
        try {
            fs::copyFile("c:\\MAJ\\eattest.mdb", "c:\\praxidome\\eattest.mdb");
        } catch (...) {
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    EXPECT_EQ(entries(drive.host("praxidome")), QStringList{"eattest.mdb"});
    EXPECT_EQ(drive.read("praxidome/eattest.mdb"), "old");
}

// A copy into a folder removes the temporary copies that interrupted copies left there; one that
// a copy is writing (locked) stays, and so does a name that only looks alike.
TEST(InterruptedCopy, LeftoversGoAtTheNextCopyIntoTheFolder)
{
    test::TempDrive drive;
    drive.write("praxidome/.maj-copy-Ab12Cd", "left over");
    const QString writing = drive.write("praxidome/.maj-copy-Zz99Yy", "being written");
    drive.write("praxidome/.maj-copy-notes", "not a copy");
    drive.write("MAJ/eattest.mdb", "new");
    fs::posix::UniqueFd lock(::open(QFile::encodeName(writing).constData(), O_RDWR | O_CLOEXEC));
    ASSERT_TRUE(fs::posix::tryLock(lock.get(), F_WRLCK));

    fs::copyFile("c:\\MAJ\\eattest.mdb", "c:\\praxidome\\eattest.mdb");

    EXPECT_EQ(entries(drive.host("praxidome")), (QStringList{".maj-copy-Zz99Yy", ".maj-copy-notes", "eattest.mdb"}));
    EXPECT_EQ(drive.read("praxidome/eattest.mdb"), "new");
}

} // namespace
