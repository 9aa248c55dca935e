#include "DbSteps.h"
#include "FileSystem.h"
#include "FsPosix.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace maj;

namespace {

// Another process that opens the file in a shell's mode ("<>" read-write, ">>" append, "<" read)
// and then sits idle with it open, holding no lock.
class Holder
{
public:
    Holder(const char* mode, const QString& path)
    {
        m_process.start("/bin/bash",
                        {"-c", QString("exec 3%1\"$1\" && echo ready && exec sleep 60").arg(mode), "holder", path});
        if (!m_process.waitForReadyRead(10000))
            ADD_FAILURE() << "the holder did not start";
    }

private:
    QProcess m_process; // killed when destroyed
};

// A patient database and a safety folder on a drive of their own; returns the database's host path.
QString install(test::StepFixture& s)
{
    const QString pat = s.drive.host("praxidome/pat.mdb");
    test::createDatabase(pat, "pat");
    QDir().mkpath(s.drive.host("MAJJAN2021"));
    s.f.settings.SafetyFolder = "c:\\MAJJAN2021\\";
    return pat;
}

// The running-application check: fails (its message, then the end of the program) while another
// process has pat.mdb open for writing, locked or not; this process's own descriptors, readers
// and a read-only database do not count. Each case runs the check twice, as two runs would.
TEST(Voitsiouvert, FailsWhileAnotherProcessHasThePatientDatabaseOpenForWriting)
{
    const struct
    {
        const char* other; // the other process's mode, if any
        bool readOnly;
        bool fails;
    } cases[] = {
        {"<>", false, true}, {">>", false, true}, {"<", false, false}, {nullptr, false, false}, {nullptr, true, false},
    };
    for (const auto& c : cases) {
        test::StepFixture s;
        const QString pat = install(s);
        if (c.readOnly)
            fs::setAttributes("c:\\praxidome\\pat.mdb", fs::ReadOnly);
        QFile own(pat);
        ASSERT_TRUE(own.open(c.readOnly ? QIODevice::ReadOnly : QIODevice::ReadWrite));
        std::optional<Holder> other;
        if (c.other)
            other.emplace(c.other, pat);

        s.runStep(voitsiouvert);
        s.runStep(voitsiouvert);

        const QString what = QString("%1 %2").arg(c.other ? c.other : "none").arg(c.readOnly);
        EXPECT_EQ(s.ui.messages.size(), c.fails ? 2 : 0) << qPrintable(what);
        EXPECT_EQ(s.ui.ended, c.fails) << qPrintable(what);
        EXPECT_EQ(s.ui.exitStatus(), c.fails ? ExitStatus::ApplicationRunning : ExitStatus::Completed)
            << qPrintable(what);
        if (!c.fails) {
            EXPECT_EQ(fs::attributes("c:\\MAJJAN2021\\pat.mdb"), unsigned(fs::Archive)) << qPrintable(what);
        }
    }
}

// A workstation across a share shows only its lock. Here: a write lock whose open file no process
// of this machine shows, its only descriptor being in flight in a socket.
TEST(Voitsiouvert, AWriteLockAloneStillCounts)
{
    test::StepFixture s;
    const QString pat = install(s);
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    {
        fs::posix::UniqueFd held(::open(QFile::encodeName(pat).constData(), O_RDWR | O_CLOEXEC));
        ASSERT_TRUE(fs::posix::tryLock(held.get(), F_WRLCK));
        char byte = 0;
        iovec data{&byte, 1};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
        msghdr message{};
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* rights = CMSG_FIRSTHDR(&message);
        rights->cmsg_level = SOL_SOCKET;
        rights->cmsg_type = SCM_RIGHTS;
        rights->cmsg_len = CMSG_LEN(sizeof(int));
        const int fd = held.get();
        std::memcpy(CMSG_DATA(rights), &fd, sizeof fd);
        ASSERT_EQ(::sendmsg(pair[0], &message, 0), 1);
    }
    s.runStep(voitsiouvert);
    EXPECT_TRUE(s.ui.ended);
    EXPECT_EQ(s.ui.exitStatus(), ExitStatus::ApplicationRunning);
    ::close(pair[0]);
    ::close(pair[1]);
}

} // namespace
