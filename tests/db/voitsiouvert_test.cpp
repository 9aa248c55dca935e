#include "TestSupport.h"
#include "db/DbSteps.h"
#include "platform/FileSystem.h"
#include "platform/FsPosix.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <optional>

#include <fcntl.h>

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

// The running-application check: fails (its message, then the end of the program) while another
// process has pat.mdb open for writing, locked or not; this process's own descriptors, readers
// and a read-only database do not count. A write lock alone, as a workstation across a share
// shows, still counts: here one this process holds, which no look at descriptors sees. Each case
// runs the check twice, as two runs would.
TEST(Voitsiouvert, FailsWhileAnotherProcessHasThePatientDatabaseOpenForWriting)
{
    const struct
    {
        const char* other; // the other process's mode, if any
        bool readOnly;
        bool writeLock;
        bool fails;
    } cases[] = {
        {"<>", false, false, true},     {">>", false, false, true},    {"<", false, false, false},
        {nullptr, false, false, false}, {nullptr, true, false, false}, {nullptr, false, true, true},
    };
    for (const auto& c : cases) {
        test::StepFixture s;
        const QString pat = s.drive.host("praxidome/pat.mdb");
        test::createDatabase(pat, "pat");
        QDir().mkpath(s.drive.host("MAJJAN2021"));
        s.f.settings.SafetyFolder = "c:\\MAJJAN2021\\";
        if (c.readOnly)
            fs::setAttributes("c:\\praxidome\\pat.mdb", fs::ReadOnly);
        QFile own(pat);
        ASSERT_TRUE(own.open(c.readOnly ? QIODevice::ReadOnly : QIODevice::ReadWrite));
        ASSERT_TRUE(!c.writeLock || fs::posix::tryLock(own.handle(), F_WRLCK));
        std::optional<Holder> other;
        if (c.other)
            other.emplace(c.other, pat);

        s.runStep(voitsiouvert);
        s.runStep(voitsiouvert);

        const QString what = QString("%1 %2 %3").arg(c.other ? c.other : "none").arg(c.readOnly).arg(c.writeLock);
        EXPECT_EQ(s.ui.messages.size(), c.fails ? 2 : 0) << qPrintable(what);
        EXPECT_EQ(s.ui.ended, c.fails) << qPrintable(what);
        EXPECT_EQ(s.ui.exitStatus(), c.fails ? ExitStatus::ApplicationRunning : ExitStatus::Completed)
            << qPrintable(what);
        if (!c.fails) {
            EXPECT_EQ(fs::attributes("c:\\MAJJAN2021\\pat.mdb"), unsigned(fs::Archive)) << qPrintable(what);
        }
    }
}

} // namespace
