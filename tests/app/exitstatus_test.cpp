#include "AppTestSupport.h"
#include "app/Form1.h"
#include "deploy/Deploy.h"

#include <QDir>
#include <QFile>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace maj;

namespace {

// The status each way of ending the program leaves: 0 when it ends as the user asked or the run
// completed, another value for each failure that ends it.
TEST(ExitStatus, ZeroForAnEndAskedForOrACompletedRunElseTheFailures)
{
    // No print system: printing fails.
    qputenv("CUPS_SERVER", "/nonexistent/maj-no-cups.sock");
    using Prepare = void (*)(const test::TempDrive&);
    const struct
    {
        const char* button; // pressed once the window is open
        bool client;
        Prepare prepare; // before the window opens
        ExitStatus status;
    } cases[] = {
        {"btnquit", true, nullptr, ExitStatus::Completed},
        {"Command2", true, nullptr, ExitStatus::Completed},
        {"Btnancienexe", true, [](const test::TempDrive& d) { d.write("MAJJAN2021/praxidome.exe"); },
         ExitStatus::Completed},
        {"Command1", true, nullptr, ExitStatus::Completed},
        {"btnimprimer", true, nullptr, ExitStatus::Failure},
        {nullptr, true, [](const test::TempDrive& d) { QFile::remove(d.host("praxidome/parametres.mdb")); },
         ExitStatus::Failure},
        {nullptr, true, [](const test::TempDrive& d) { QFile::remove(d.host("praxidome/pat.mdb")); },
         ExitStatus::ApplicationRunning},
        {"Command1", true, [](const test::TempDrive& d) { QDir().mkpath(d.host("MAJ20265122037")); },
         ExitStatus::BackupFolder},
        // An empty release table: the new codes step fails and the sequence's handler ends the run.
        {"Command1", false, nullptr, ExitStatus::UpdateIncomplete},
    };
    for (const auto& c : cases) {
        test::TempDrive drive;
        test::installPractice(drive, c.client);
        drive.write("praxidome/praxidome.exe");
        test::createDatabase(drive.host("CD/eattest.mdb"), "eattest");
        if (c.prepare)
            c.prepare(drive);
        test::CurrentFolder medium(drive.host("CD"));
        test::RecordingUi ui;
        test::FixedClock clock;
        Form1 form(ui, clock);
        if (form.showAndActivate()) {
            form.core().window.chkXP = true;
            form.core().window.notify();
            form.findChild<QPushButton*>(QLatin1String(c.button))->click();
        }
        const QString what = QString("%1 %2").arg(c.button ? c.button : "opening").arg(int(c.status));
        EXPECT_TRUE(ui.ended) << qPrintable(what);
        EXPECT_EQ(ui.exitStatus(), c.status) << qPrintable(what + " " + ui.messages.join('|'));
    }
}

// A step the window does not reach in this release.
TEST(ExitStatus, MissingFoldersOfEarlierUpdates)
{
    test::StepFixture s;
    s.runStep(assurability);
    EXPECT_EQ(s.ui.exitStatus(), ExitStatus::EarlierUpdates);
}

} // namespace
