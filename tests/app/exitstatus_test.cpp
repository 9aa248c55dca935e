#include "AppTestSupport.h"

#include <QPrinterInfo>

#include <gtest/gtest.h>

using namespace maj;

namespace {

// Each way of ending the program: its status (0 when it ends as the user asked or the run completed)
// and the last message it shows.
TEST(ExitStatus, ZeroForAnEndAskedForOrACompletedRunElseTheFailures)
{
    // Before anything in this process asks the print system: a scheduler that does not exist.
    qputenv("CUPS_SERVER", "/nonexistent/maj-no-cups.sock");
    qunsetenv("PRINTER");
    qunsetenv("LPDEST");
    ASSERT_TRUE(QPrinterInfo::defaultPrinter().isNull()) << "a default printer is still found";
    const struct
    {
        const char* button; // pressed once the window is open ("close": the window closed)
        bool client;
        void (*prepare)(const test::TempDrive&); // before the window opens
        ExitStatus status;
        const char* last; // the start of the last message, "": none shown
    } cases[] = {
        {"btnquit", true, nullptr, ExitStatus::Completed, ""},
        {"close", true, nullptr, ExitStatus::Completed, ""},
        {"Command2", true, nullptr, ExitStatus::Completed,
         "Merci d'avertir Norvix que vous souhaitez résilier la convention de mise à jour"},
        {"Btnancienexe", true, [](const test::TempDrive& d) { d.write("MAJJAN2021/praxidome.exe"); },
         ExitStatus::Completed, "L'ancien exécutable a été restauré !"},
        {"btnimprimer", true, nullptr, ExitStatus::Failure, "482: Aucune imprimante n'est installée"},
        {nullptr, true, [](const test::TempDrive& d) { QFile::remove(d.host("praxidome/parametres.mdb")); },
         ExitStatus::Failure, "3024: "},
        {nullptr, true, [](const test::TempDrive& d) { QFile::remove(d.host("praxidome/pat.mdb")); },
         ExitStatus::ApplicationRunning, "Praxidome semble être en fonctionnement."},
        {nullptr, true, [](const test::TempDrive&) { qputenv("MAJ_DRIVE_C", "/nonexistent/drive_c"); },
         ExitStatus::Failure, "76: Le lecteur c: devrait être le dossier /nonexistent/drive_c (MAJ_DRIVE_C), qui"},
        {nullptr, true,
         [](const test::TempDrive& d) {
             test::exec(d.host("praxidome/parametres.mdb"), "UPDATE parapat SET NUMERO_MAJ = '39'");
         },
         ExitStatus::ReleaseRefused, "Cette mise à jour (n° 38) est plus ancienne que la dernière installée (n° 39)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button ? c.button : "opening");
        test::OpenedWindow w(c.client);
        test::createDatabase(w.drive.host("CD/eattest.mdb"), "eattest");
        if (c.prepare)
            c.prepare(w.drive);
        test::CurrentFolder medium(w.drive.host("CD"));
        if (w.open()) {
            w.form->core().window.chkXP = true;
            if (QString(c.button) == "close")
                w.form->close();
            else
                w.click(c.button);
        }
        EXPECT_TRUE(w.ui.ended);
        // An opening work that ends the program ends it before the census.
        EXPECT_TRUE(c.button || !w.form->core().window.txtconvention.contains("VOUS TROUVEREZ"));
        EXPECT_EQ(w.ui.exitStatus(), c.status) << w.ui.messages.join('|').toStdString();
        EXPECT_TRUE(*c.last ? w.ui.messages.value(w.ui.messages.size() - 1).startsWith(c.last)
                            : w.ui.messages.isEmpty())
            << w.ui.messages.join('|').toStdString();
    }
}

} // namespace
