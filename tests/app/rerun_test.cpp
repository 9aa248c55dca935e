#include "AppTestSupport.h"
#include "app/Sequence.h"

#include <QLabel>
#include <QProgressBar>

#include <gtest/gtest.h>

using namespace maj;

namespace {

const QString kDone = QStringLiteral("Mise à jour effectuée!");

// A server run through the window that comes back to it (the duplicates listed, or the duplicate
// check failing with 3265 and the run resuming after it): accept, refuse and print stay off, even
// for a click queued before, so the run is never made twice; restoring is off only while the
// sequence runs; the list of duplicates and "Quitter" are shown, and "Quitter" ends.
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
        test::OpenedWindow w;
        test::exec(w.drive.host("praxidome/pat.mdb"), codeTable);
        w.drive.write("MAJJAN2021/praxidome.exe", "MZ before the release");
        const test::CurrentFolder medium = test::layMedium(w.drive, "('E', '3')");
        ASSERT_TRUE(w.open());
        w.form->core().window.chkXP = true;

        QString seen; // the window when the end of the update is told; then a restore is tried
        w.ui.onMessage = [&](const QString& text) {
            if (text != kDone)
                return;
            const auto* bar = w.control<QProgressBar>("pgbprogression");
            seen = QStringLiteral("%1 shown: %2, contract shown: %3, restore enabled: %4, %5/%6")
                       .arg(w.control<QLabel>("lbletape")->text())
                       .arg(w.control("lbletape")->isVisible())
                       .arg(w.control("txtconvention")->isVisible())
                       .arg(w.control("Btnancienexe")->isEnabled())
                       .arg(bar->value())
                       .arg(bar->maximum());
            runHandler(w.ui, [&] { Btnancienexe_Click(w.form->core()); });
        };
        w.click("Command1");
        w.ui.onMessage = nullptr;

        EXPECT_EQ(seen, "Mise à jour effectuée! shown: 1, contract shown: 0, restore enabled: 0, 9/10");
        EXPECT_EQ(w.drive.read("praxidome/praxidome.exe"), "MZ installed");
        ASSERT_FALSE(w.ui.ended) << w.ui.messages.join('|').toStdString();
        const QStringList shown = w.ui.messages;
        EXPECT_EQ(shown.mid(shown.indexOf(kDone)),
                  (QStringList{kDone, "Vérification de la validité de votre base de données de nomenclature !"}));
        EXPECT_EQ(w.ui.cursors, (QList<bool>{true, false}));
        for (const char* name : {"Command1", "Command2", "btnimprimer"}) {
            EXPECT_FALSE(w.control(name)->isEnabled()) << name;
            w.control(name)->setEnabled(true);
            w.click(name);
        }
        EXPECT_EQ(w.ui.messages, shown); // each would have said something
        EXPECT_TRUE(w.control("Btnancienexe")->isEnabled());
        EXPECT_TRUE(w.control("l")->isVisible() && w.control("btnquitter")->isVisible());
        w.click("btnquitter");
        EXPECT_TRUE(w.ui.ended);
        EXPECT_EQ(w.ui.exitStatus(), ExitStatus::Completed);
    }
}

} // namespace
