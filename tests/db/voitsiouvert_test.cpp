#include "TestSupport.h"
#include "db/DbSteps.h"
#include "platform/FileSystem.h"
#include "platform/FsPosix.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <optional>

#include <fcntl.h>

using namespace maj;
using Hold = test::OtherProcess::Hold;

namespace {

// What this process does with pat.mdb itself.
enum class Own
{
    None,     // leaves it alone
    Open,     // opens it read-write
    ReadOnly, // marks it read-only and opens it so
    Locked,   // holds a write lock on it, as a workstation across a share shows
    NoFolder  // opens it, but the safety folder is missing
};

// The running-application check copies pat.mdb into the safety folder; it fails (its message, then
// the end of the program, the older copy kept) while another process has the file open for writing,
// locked or not, or holds an SQLite transaction on it; this process's own descriptors, readers, read
// locks and a read-only database do not count, but a write lock does, which no look at descriptors
// sees. Each case runs the check twice, as two runs would.
TEST(Voitsiouvert, FailsWhileAnotherProcessHasThePatientDatabaseOpenForWriting)
{
    // The other process: a shell's mode ("<>" read-write, ">>" append, "<" read), or what an
    // OtherProcess holds, named in the order of its Hold values.
    const QStringList holds{"WriteLock", "ReadLock", "SqliteWriter", "SqliteReader"};
    // The other process (if any), what this one does, whether the check fails.
    const std::tuple<const char*, Own, bool> cases[] = {
        {"<>", Own::Open, true},           {">>", Own::Open, true},           {"<", Own::Open, false},
        {nullptr, Own::Open, false},       {nullptr, Own::ReadOnly, false},   {nullptr, Own::Locked, true},
        {nullptr, Own::NoFolder, true},    {"WriteLock", Own::None, true},    {"ReadLock", Own::None, false},
        {"SqliteWriter", Own::None, true}, {"SqliteReader", Own::None, true},
    };
    for (const auto& [holder, mine, fails] : cases) {
        SCOPED_TRACE(testing::Message() << (holder ? holder : "none") << " " << int(mine));
        test::StepFixture s;
        const QString pat = s.drive.host("praxidome/pat.mdb");
        test::createDatabase(pat, "pat");
        if (mine != Own::NoFolder)
            s.drive.write("MAJJAN2021/pat.mdb", "an older copy");
        s.f.settings.SafetyFolder = "c:\\MAJJAN2021\\";
        if (mine == Own::ReadOnly)
            fs::setAttributes("c:\\praxidome\\pat.mdb", fs::ReadOnly);
        QFile own(pat);
        ASSERT_TRUE(mine == Own::None || own.open(mine == Own::ReadOnly ? QIODevice::ReadOnly : QIODevice::ReadWrite));
        ASSERT_TRUE(mine != Own::Locked || fs::posix::tryLock(own.handle(), F_WRLCK));
        std::optional<test::OtherProcess> other;
        QProcess shell; // killed when destroyed
        if (holds.contains(holder)) {
            other.emplace(pat, Hold(holds.indexOf(holder)));
            ASSERT_TRUE(other->held());
        } else if (holder) { // opens the file in the shell's mode, then sits idle with it open, holding no lock
            shell.start("/bin/bash",
                        {"-c", QString("exec 3%1\"$1\" && echo ready && exec sleep 60").arg(holder), "holder", pat});
            ASSERT_TRUE(shell.waitForReadyRead(10000));
        }

        s.runStep(voitsiouvert);
        s.runStep(voitsiouvert);
        other.reset();

        const QString running = "Praxidome semble être en fonctionnement. Veuillez fermer le programme sur tous les "
                                "postes puis recommencer la mise à jour svp";
        EXPECT_EQ(s.ui.ended, fails);
        EXPECT_EQ(s.ui.messages, fails ? QStringList({running, running}) : QStringList());
        // A failure keeps the older copy; a success leaves a copy that can be written.
        EXPECT_EQ(s.drive.read("MAJJAN2021/pat.mdb"),
                  fails ? QByteArray(mine == Own::NoFolder ? "" : "an older copy") : s.drive.read("praxidome/pat.mdb"));
        EXPECT_TRUE(fails || fs::attributes("c:\\MAJJAN2021\\pat.mdb") == fs::Archive);
    }
}

} // namespace
