#include "AppTestSupport.h"
#include "app/Form1.h"
#include "app/Sequence.h"

#include <QPushButton>

#include <gtest/gtest.h>

using namespace maj;

namespace {

const QString kDone = QStringLiteral("Mise à jour effectuée!");

// A server run through the window that comes back to it (the duplicates listed, or the duplicate
// check failing with 3265): accept, refuse and print stay off, even for a click queued before,
// so the run is never made twice; restoring is off only while the sequence runs; "Quitter" ends.
TEST(Rerun, ARunThatCameBackCannotBeStartedAgain)
{
    // No print system: printing, were it to run, would fail aloud.
    qputenv("CUPS_SERVER", "/nonexistent/maj-no-cups.sock");
    const char* const codeTables[] = {
        "INSERT INTO nomenclature (ABREVIATION, \"code inami\") VALUES ('CONS', '301011'), ('CONS', '302012')",
        "DROP TABLE nomenclature; CREATE TABLE nomenclature (ABREVIATION TEXT(20), \"code inami\" TEXT(15));"
        "INSERT INTO nomenclature VALUES ('X', '1'), ('X', '2');",
    };
    for (const char* codeTable : codeTables) {
        test::TempDrive drive;
        test::installPractice(drive, false);
        test::exec(drive.host("praxidome/pat.mdb"), codeTable);
        drive.write("praxidome/praxidome.exe", "MZ installed");
        drive.write("MAJJAN2021/praxidome.exe", "MZ before the release");
        test::createDatabase(drive.host("CD/eattest.mdb"), "eattest");
        test::exec(drive.host("CD/eattest.mdb"), "INSERT INTO nomen (ABREVIATION, \"code inami\") VALUES ('E', '3')");
        test::CurrentFolder medium(drive.host("CD"));
        test::RecordingUi ui;
        test::FixedClock clock;
        Form1 form(ui, clock);
        ASSERT_TRUE(form.showAndActivate());
        form.core().window.chkXP = true;
        const auto button = [&](const char* name) { return form.findChild<QPushButton*>(QLatin1String(name)); };

        bool restoreEnabled = true;
        ui.onMessage = [&](const QString& text) {
            if (text != kDone)
                return;
            restoreEnabled = button("Btnancienexe")->isEnabled();
            runHandler(ui, [&] { Btnancienexe_Click(form.core()); });
        };
        button("Command1")->click();
        ui.onMessage = nullptr;

        EXPECT_FALSE(restoreEnabled);
        EXPECT_EQ(drive.read("praxidome/praxidome.exe"), "MZ installed");
        ASSERT_FALSE(ui.ended) << ui.messages.join('|').toStdString();
        const QStringList shown = ui.messages;
        EXPECT_EQ(shown.count(kDone), 1);
        for (const char* name : {"Command1", "Command2", "btnimprimer"}) {
            EXPECT_FALSE(button(name)->isEnabled()) << name;
            button(name)->setEnabled(true);
            button(name)->click();
        }
        EXPECT_EQ(ui.messages, shown);
        EXPECT_FALSE(ui.ended);
        EXPECT_TRUE(button("Btnancienexe")->isEnabled());
        button("btnquit")->click();
        EXPECT_TRUE(ui.ended);
        EXPECT_EQ(ui.exitStatus(), ExitStatus::Completed);
    }
}

} // namespace
