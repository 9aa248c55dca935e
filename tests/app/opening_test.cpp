#include "AppTestSupport.h"
#include "FaultVfs.h"
#include "app/Opening.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace maj;

namespace {

// Fifty-eight lines joined by CR LF, without a final line end; each starts with two blanks, line
// ten with sixteen, and holds text. Built again, it replaces the whole text. The lines take the
// run's settings, not fixed texts, with no digit grouping.
TEST(Contract, FiftyEightIndentedLinesJoinedByCrLfWithTheRunSettings)
{
    test::RecordingUi ui;
    test::FixedClock clock;
    Form1Core f(ui, clock);
    setRunSettings(f);
    f.window.txtconvention = "ancien texte";
    convention(f);
    convention(f);
    const QString& text = f.window.txtconvention;
    EXPECT_EQ(text.count(QLatin1Char('\n')), 57);
    const QStringList lines = text.split("\r\n");
    ASSERT_EQ(lines.size(), 58);
    for (int i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(lines[i].contains(QRegularExpression(i + 1 == 10 ? "^ {16}\\S" : "^  \\S")))
            << "line " << i + 1 << ": " << lines[i].toStdString();

    RunSettings s;
    s.VersionCaption = "Version 9.1.2";
    s.HourlyRate = 70;
    s.HourlyRateInclVat = 84.7;
    s.TravelFee = 45;
    s.AnnualFee = 1200;
    s.ExtraUserFee = 350;
    const QStringList other = conventionLines(s);
    EXPECT_EQ(other.value(13), "  Le logiciel a  les coordonnées suivantes :Version 9.1.2");
    EXPECT_EQ(other.value(27),
              QStringLiteral("  Cette intervention sera facturée à l'utilisateur au tarif horaire de 70 EUR "
                             " + TVA soit 84,7 EUR (+ 1 forfait de 45 EUR de déplacement)"));
    EXPECT_EQ(other.value(40),
              QStringLiteral("  Ce prix est fixé pour la présente année à 1200 EUR  TTC. (+ 350 EUR par "
                             "utilisateur supplémentaire)"));
}

// The restore button shows for the saved executable in its own letter case only; the station's
// label follows the settings record. The caption, the contract and the census's summary are shown.
TEST(OpeningWork, WindowShowsCaptionContractCensusRestoreButtonAndStationRole)
{
    // The file in the safety folder (if any), whether the button shows, whether a client workstation.
    const std::tuple<const char*, bool, bool> cases[] = {{nullptr, false, false},
                                                         {"praxidome.exe", true, false},
                                                         {"PRAXIDOME.EXE", false, true},
                                                         {"Praxidome.exe", false, false}};
    for (const auto& [saved, visible, client] : cases) {
        SCOPED_TRACE(saved ? saved : "(none)");
        test::OpenedWindow w(client);
        if (saved)
            w.drive.write(QStringLiteral("MAJJAN2021/") + saved, "MZ");
        w.clock.moment = QDateTime(QDate(2021, 3, 5), QTime(14, 2, 31));
        ASSERT_TRUE(w.open()) << w.ui.messages.join('|').toStdString();
        EXPECT_TRUE(w.ui.messages.isEmpty()) << w.ui.messages.join('|').toStdString();
        EXPECT_EQ(w.control("Btnancienexe")->isVisible(), visible);
        EXPECT_EQ(w.control<QLabel>("LBLSERVEURCLIENT")->text(), client ? "POSTE CLIENT" : "SERVEUR");
        if (saved || client)
            continue;
        // The caption takes the clock's month, without a leading zero.
        EXPECT_EQ(w.form->windowTitle(), "Mise à jour 3/2021 : version 8.6.8");
        EXPECT_EQ(w.control<QLabel>("lbllangue")->text(), "NL");
        EXPECT_EQ(w.control<QLabel>("lbldate")->text(), "01/01/2021");
        const auto* contract = w.control<QPlainTextEdit>("txtconvention");
        EXPECT_TRUE(contract->toPlainText().startsWith("  CONTRAT DE MAINTENANCE\n  Entre:\n"));
        // The census appends its summary below the contract, in 10 points.
        EXPECT_TRUE(contract->toPlainText().contains("VOUS TROUVEREZ CI-DESSOUS LES INFORMATIONS COLLECTEES"));
        EXPECT_DOUBLE_EQ(contract->font().pointSizeF(), 10.0);
        EXPECT_EQ(w.form->focusWidget(), contract);
        // It runs once, at the first showing.
        w.form->core().window.caption = "changé";
        w.form->hide();
        EXPECT_TRUE(w.form->showAndActivate());
        EXPECT_EQ(w.form->core().window.caption, "changé");
    }
}

// A database the run would change that is not one, or damaged, or unreadable, is named with SQLite's
// reason before the update is offered: the program ends (status 1), nothing on the drive but the log
// has changed and no report was written.
TEST(OpeningWork, NamesADamagedDatabaseAndEndsBeforeAnythingChanges)
{
    const auto cut = [](QFile& f) { f.resize(f.size() / 2); };
    // The file, its damage (none: the check's open fails), SQLite's reason.
    const std::tuple<const char*, void (*)(QFile&), const char*> cases[] = {
        {"pat.mdb", [](QFile& f) { f.write("Ceci n'est pas une base de données.\r\n"); },
         "est endommagée (le fichier n'est pas une base de données)"},
        {"pannexe.mdb", cut, "est endommagée (l'image disque de la base de données est mal formée)"},
        {"pat.mdb", [](QFile& f) { f.seek(4096), f.write(QByteArray(4096, '\x5a')); },
         "est endommagée (la page 2 est illisible)"},
        {"parametres.mdb", [](QFile& f) { f.resize(0); }, "est endommagée (fichier vide : 0 octet)"},
        // Armed once the window is made (its data source holds parametres.mdb): the check's first open fails.
        {"pat.mdb", nullptr, "n'a pu être lue (impossible d'ouvrir le fichier de la base de données)"},
    };
    for (const auto& [file, damage, reason] : cases) {
        SCOPED_TRACE(testing::Message() << file << " " << reason);
        test::OpenedWindow w;
        QFile damaged(w.drive.host(QStringLiteral("praxidome/") + file));
        ASSERT_TRUE(damaged.open(QIODevice::ReadWrite));
        if (damage)
            damage(damaged);
        damaged.close();
        const QStringList before = test::hashes({w.drive.host()});
        test::FaultVfs vfs;
        w.form = std::make_unique<Form1>(w.ui, w.clock);
        if (!damage)
            vfs.arm(1, test::FaultVfs::Fault::Open);
        EXPECT_FALSE(w.form->showAndActivate());
        EXPECT_EQ(w.ui.exitStatus(), ExitStatus::Failure);
        EXPECT_EQ(w.ui.messages,
                  QStringList(QStringLiteral("La base c:\\praxidome\\%1 %2 : la mise à jour ne peut pas se "
                                             "faire. Rien n'a été modifié.")
                                  .arg(file, QString::fromUtf8(reason))));
        EXPECT_EQ(test::hashes({w.drive.host()}), before);
    }
}

} // namespace
