#include "AppTestSupport.h"
#include "app/Form1.h"
#include "app/Opening.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace maj;

namespace {

TEST(RunSettings, CaptionNamesTheClocksMonthWithoutLeadingZero)
{
    const struct
    {
        QDate day;
        const char* caption;
    } cases[] = {
        {QDate(2021, 3, 15), "Mise à jour 3/2021 : version 8.6.8"},
        {QDate(2021, 12, 1), "Mise à jour 12/2021 : version 8.6.8"},
        {QDate(2026, 1, 31), "Mise à jour 1/2026 : version 8.6.8"},
    };
    for (const auto& c : cases) {
        test::RecordingUi ui;
        test::FixedClock clock(QDateTime(c.day, QTime(23, 59, 59)));
        Form1Core f(ui, clock);
        setRunSettings(f);
        EXPECT_EQ(f.window.caption, QString::fromUtf8(c.caption)) << c.day.toString(Qt::ISODate).toStdString();
    }
}

struct Core
{
    test::RecordingUi ui;
    test::FixedClock clock;
    Form1Core f{ui, clock};
    Core() { setRunSettings(f); }
};

// Fifty-eight lines joined by CR LF, without a final line end; each starts with two blanks, line
// ten with sixteen, and holds text.
TEST(Contract, FiftyEightIndentedLinesJoinedByCrLf)
{
    Core c;
    convention(c.f);
    const QString& text = c.f.window.txtconvention;
    EXPECT_EQ(text.count(QLatin1Char('\n')), 57);
    EXPECT_EQ(text.count(QLatin1Char('\r')), 57);
    const QStringList lines = text.split("\r\n");
    ASSERT_EQ(lines.size(), 58);
    for (int i = 0; i < lines.size(); ++i) {
        qsizetype blanks = 0;
        while (blanks < lines[i].size() && lines[i][blanks] == u' ')
            ++blanks;
        EXPECT_EQ(blanks, i + 1 == 10 ? 16 : 2) << "line " << i + 1 << ": " << lines[i].toStdString();
        EXPECT_GT(lines[i].size(), blanks) << "line " << i + 1 << " holds text";
    }
    EXPECT_EQ(lines[0], "  CONTRAT DE MAINTENANCE");
    EXPECT_TRUE(c.ui.messages.isEmpty());
}

// The lines take the run's settings, not fixed texts.
TEST(Contract, JoinedLinesTakeTheRunSettings)
{
    RunSettings s;
    s.VersionCaption = "Version 9.1.2";
    s.HourlyRate = 70;
    s.HourlyRateInclVat = 84.7;
    s.TravelFee = 45;
    s.AnnualFee = 1200;
    s.ExtraUserFee = 350;
    const QStringList lines = conventionLines(s);
    ASSERT_EQ(lines.size(), 58);
    EXPECT_EQ(lines.at(13), "  Le logiciel a  les coordonnées suivantes :Version 9.1.2");
    EXPECT_EQ(lines.at(27),
              QStringLiteral("  Cette intervention sera facturée à l'utilisateur au tarif horaire de 70 EUR "
                             " + TVA soit 84,7 EUR (+ 1 forfait de 45 EUR de déplacement)"));
    EXPECT_EQ(lines.at(31),
              QStringLiteral(
                  "  Cette formation sera facturée à l'utilisateur au tarif horaire de 70 EUR  + TVA soit 84,7 EUR."));
    // No digit grouping, as the old conversions.
    EXPECT_EQ(lines.at(40), QStringLiteral("  Ce prix est fixé pour la présente année à 1200 EUR  TTC. (+ 350 EUR par "
                                           "utilisateur supplémentaire)"));
}

TEST(Contract, ReplacesTheWholeTextAndTellsTheWindow)
{
    Core c;
    c.f.window.txtconvention = "ancien texte";
    int changed = 0;
    QObject::connect(&c.f.window, &WindowModel::changed, [&changed] { ++changed; });
    convention(c.f);
    EXPECT_TRUE(c.f.window.txtconvention.startsWith("  CONTRAT DE MAINTENANCE\r\n"));
    EXPECT_FALSE(c.f.window.txtconvention.contains("ancien texte"));
    EXPECT_GE(changed, 1);
    // Built again, it is the same text: nothing is appended to the previous one.
    const QString first = c.f.window.txtconvention;
    convention(c.f);
    EXPECT_EQ(c.f.window.txtconvention, first);
}

// The whole opening work, through the window, on an installation.
struct Opened
{
    test::TempDrive drive;
    test::RecordingUi ui;
    test::FixedClock clock{QDateTime(QDate(2021, 3, 5), QTime(14, 2, 31))};
    std::unique_ptr<Form1> form;
    bool completed = false;

    void open()
    {
        form = std::make_unique<Form1>(ui, clock);
        completed = form->showAndActivate();
    }
    template <class T> T* control(const char* name) { return form->findChild<T*>(QLatin1String(name)); }
};

// The restore button shows for the saved executable in its own letter case only; the station's
// label follows the settings record.
TEST(OpeningWork, RestoreButtonAndStationRole)
{
    const struct
    {
        const char* saved; // file in the safety folder, or none
        bool visible;
        bool client;
    } cases[] = {
        {nullptr, false, false},
        {"praxidome.exe", true, false},
        {"PRAXIDOME.EXE", false, true},
        {"Praxidome.exe", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.saved ? c.saved : "(none)");
        Opened o;
        test::installPractice(o.drive, c.client);
        if (c.saved)
            o.drive.write(QStringLiteral("MAJJAN2021/") + c.saved, "MZ");
        o.open();
        ASSERT_TRUE(o.completed) << o.ui.messages.join('|').toStdString();
        EXPECT_EQ(o.form->core().window.btnancienexeVisible, c.visible);
        EXPECT_EQ(o.control<QPushButton>("Btnancienexe")->isVisible(), c.visible);
        // Either way the safety folder is there: it receives the patient database's copy.
        EXPECT_TRUE(QFileInfo::exists(o.drive.host("MAJJAN2021/pat.mdb")));
        EXPECT_EQ(o.form->core().settings.StationRole, c.client);
        EXPECT_EQ(o.control<QLabel>("LBLSERVEURCLIENT")->text(), c.client ? "POSTE CLIENT" : "SERVEUR");
    }
}

TEST(OpeningWork, WindowShowsCaptionContractAndCensus)
{
    Opened o;
    test::installPractice(o.drive, false);
    o.open();
    ASSERT_TRUE(o.completed);
    EXPECT_TRUE(o.ui.messages.isEmpty()) << o.ui.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(o.form->windowTitle(), "Mise à jour 3/2021 : version 8.6.8");
    EXPECT_EQ(o.control<QLabel>("lbllangue")->text(), "NL");
    EXPECT_EQ(o.control<QLabel>("lbldate")->text(), "01/01/2021");
    EXPECT_EQ(o.control<QLabel>("lblnumerodemaj")->text(), "38");
    const QString shown = o.control<QPlainTextEdit>("txtconvention")->toPlainText();
    EXPECT_TRUE(shown.startsWith("  CONTRAT DE MAINTENANCE\n  Entre:\n"));
    // The census appends its summary below the contract, in 10 points.
    EXPECT_TRUE(shown.contains("VOUS TROUVEREZ CI-DESSOUS LES INFORMATIONS COLLECTEES"));
    EXPECT_DOUBLE_EQ(o.control<QPlainTextEdit>("txtconvention")->font().pointSizeF(), 10.0);
    // The report file of the census.
    EXPECT_FALSE(QDir(o.drive.host("praxidome/MAJ")).entryList({"*.pxd"}).isEmpty());
    EXPECT_EQ(o.form->focusWidget(), o.control<QWidget>("txtconvention"));
    // It runs once, at the first showing.
    o.form->core().window.caption = "changé";
    o.form->hide();
    EXPECT_TRUE(o.form->showAndActivate());
    EXPECT_EQ(o.form->core().window.caption, "changé");
}

// Without the patient database (the application is taken to be running) the program ends before
// the station role is read; unreadable settings show their error and end it; no census either way.
TEST(OpeningWork, FailuresEndTheProgramBeforeTheCensus)
{
    for (const char* missing : {"praxidome/pat.mdb", "praxidome/parametres.mdb"}) {
        SCOPED_TRACE(missing);
        Opened o;
        test::installPractice(o.drive, false);
        ASSERT_TRUE(QFile::remove(o.drive.host(missing)));
        o.open();
        EXPECT_FALSE(o.completed);
        EXPECT_TRUE(o.ui.ended);
        EXPECT_FALSE(o.form->core().window.txtconvention.contains("VOUS TROUVEREZ"));
        if (QString(missing).endsWith("pat.mdb")) {
            EXPECT_EQ(o.form->core().window.LBLSERVEURCLIENT, "POSTE");
        } else {
            EXPECT_TRUE(o.ui.messages.value(o.ui.messages.size() - 1).startsWith("3024: "))
                << o.ui.messages.join('|').toStdString();
        }
    }
}

} // namespace
