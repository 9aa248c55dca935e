#include "AppTestSupport.h"

#include <QPrinterInfo>

#include <gtest/gtest.h>

using namespace maj;
using namespace maj::test;

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
    // The button pressed once the window is open ("close": the window closed), what is done before it
    // opens, the status, the start of the last message ("": none shown).
    const std::tuple<const char*, void (*)(const TempDrive&), ExitStatus, const char*> cases[] = {
        {"btnquit", nullptr, ExitStatus::Completed, ""},
        {"close", nullptr, ExitStatus::Completed, ""},
        {"Command2", nullptr, ExitStatus::Completed,
         "Merci d'avertir Norvix que vous souhaitez résilier la convention de mise à jour"},
        {"Btnancienexe", [](const TempDrive& d) { d.write("MAJJAN2021/praxidome.exe"); }, ExitStatus::Completed,
         "L'ancien exécutable a été restauré !"},
        {"btnimprimer", nullptr, ExitStatus::Failure, "482: Aucune imprimante n'est installée"},
        {nullptr, [](const TempDrive& d) { QFile::remove(d.host("praxidome/parametres.mdb")); }, ExitStatus::Failure,
         "3024: "},
        {nullptr, [](const TempDrive& d) { QFile::remove(d.host("praxidome/pat.mdb")); },
         ExitStatus::ApplicationRunning, "Praxidome semble être en fonctionnement."},
        {nullptr, [](const TempDrive&) { qputenv("MAJ_DRIVE_C", "/nonexistent/drive_c"); }, ExitStatus::Failure,
         "76: Le lecteur c: devrait être le dossier /nonexistent/drive_c (MAJ_DRIVE_C), qui"},
        {nullptr,
         [](const TempDrive& d) { exec(d.host("praxidome/parametres.mdb"), "UPDATE parapat SET NUMERO_MAJ = '39'"); },
         ExitStatus::ReleaseRefused, "Cette mise à jour (n° 38) est plus ancienne que la dernière installée (n° 39)"},
    };
    for (const auto& [button, prepare, status, last] : cases) {
        SCOPED_TRACE(button ? button : "opening");
        OpenedWindow w(true);
        const CurrentFolder medium = layMedium(w.drive);
        if (prepare)
            prepare(w.drive);
        if (w.open()) {
            w.form->core().window.chkXP = true;
            if (QString(button) == "close")
                w.form->close();
            else
                w.click(button);
        }
        EXPECT_TRUE(w.ui.ended);
        // An opening work that ends the program ends it before the census.
        EXPECT_TRUE(button || !w.form->core().window.txtconvention.contains("VOUS TROUVEREZ"));
        EXPECT_EQ(w.ui.exitStatus(), status) << w.ui.messages.join('|').toStdString();
        EXPECT_TRUE(*last ? w.ui.messages.value(w.ui.messages.size() - 1).startsWith(last) : w.ui.messages.isEmpty())
            << w.ui.messages.join('|').toStdString();
    }
}

} // namespace
