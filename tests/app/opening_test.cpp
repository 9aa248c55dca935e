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

TEST(RunSettings, ReleaseValuesAndHiddenLabels)
{
    test::RecordingUi ui;
    test::FixedClock clock;
    Form1Core f(ui, clock);
    setRunSettings(f);
    const RunSettings& s = f.settings;
    EXPECT_EQ(s.VersionCaption, QStringLiteral("Version 8.x.x"));
    EXPECT_EQ(s.HourlyRate, 67);
    EXPECT_DOUBLE_EQ(s.HourlyRateInclVat, 81.07);
    EXPECT_EQ(s.AnnualFee, 640);
    EXPECT_EQ(s.TravelFee, 40);
    EXPECT_EQ(s.ExtraUserFee, 640);
    EXPECT_EQ(s.LanguageCode, QStringLiteral("NL"));
    EXPECT_EQ(s.MediaKind, QStringLiteral("CD"));
    EXPECT_EQ(s.ReleaseDate, QStringLiteral("01/01/2021"));
    EXPECT_EQ(s.SafetyFolder, QStringLiteral("c:\\MAJJAN2021\\"));
    EXPECT_EQ(s.ReleaseNumber, QStringLiteral("8.6.8"));
    EXPECT_TRUE(s.BackupFolder.isEmpty());
    EXPECT_TRUE(s.PayloadFolder.isEmpty());
    EXPECT_EQ(f.window.lbllangue, QStringLiteral("NL"));
    EXPECT_EQ(f.window.lbldate, QStringLiteral("01/01/2021"));
    EXPECT_EQ(f.window.lblnumerodemaj, QStringLiteral("38"));
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

TEST(OpeningWork, RestoreButtonOnlyForTheSavedExecutableInItsOwnLetterCase)
{
    const struct
    {
        const char* saved; // file in the safety folder, or none
        bool visible;
    } cases[] = {
        {nullptr, false},
        {"praxidome.exe", true},
        {"PRAXIDOME.EXE", false},
        {"Praxidome.exe", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.saved ? c.saved : "(none)");
        Opened o;
        test::makeInstallation(o.drive, false);
        if (c.saved)
            o.drive.write(QStringLiteral("MAJJAN2021/") + QLatin1String(c.saved), "MZ");
        o.open();
        EXPECT_TRUE(o.completed);
        EXPECT_FALSE(o.ui.ended);
        EXPECT_EQ(o.form->core().window.btnancienexeVisible, c.visible);
        EXPECT_EQ(o.control<QPushButton>("Btnancienexe")->isVisible(), c.visible);
        // Either way the safety folder is there: it receives the patient database's copy.
        EXPECT_TRUE(QFileInfo(o.drive.host(QStringLiteral("MAJJAN2021"))).isDir());
        EXPECT_TRUE(QFileInfo::exists(o.drive.host(QStringLiteral("MAJJAN2021/pat.mdb"))));
    }
}

TEST(OpeningWork, StationRoleFromTheSettingsRecord)
{
    for (const bool client : {true, false}) {
        SCOPED_TRACE(client ? "client" : "server");
        Opened o;
        test::makeInstallation(o.drive, client);
        o.open();
        ASSERT_TRUE(o.completed) << o.ui.messages.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(o.form->core().settings.StationRole, client);
        const QString caption = client ? QStringLiteral("POSTE CLIENT") : QStringLiteral("SERVEUR");
        EXPECT_EQ(o.form->core().window.LBLSERVEURCLIENT, caption);
        EXPECT_EQ(o.control<QLabel>("LBLSERVEURCLIENT")->text(), caption);
    }
}

TEST(OpeningWork, WindowShowsCaptionContractAndCensus)
{
    Opened o;
    test::makeInstallation(o.drive, false);
    o.open();
    ASSERT_TRUE(o.completed);
    EXPECT_TRUE(o.ui.messages.isEmpty()) << o.ui.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(o.form->windowTitle(), QStringLiteral("Mise à jour 3/2021 : version 8.6.8"));
    EXPECT_EQ(o.control<QLabel>("lbllangue")->text(), QStringLiteral("NL"));
    EXPECT_EQ(o.control<QLabel>("lbldate")->text(), QStringLiteral("01/01/2021"));
    EXPECT_EQ(o.control<QLabel>("lblnumerodemaj")->text(), QStringLiteral("38"));
    const QString shown = o.control<QPlainTextEdit>("txtconvention")->toPlainText();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("  CONTRAT DE MAINTENANCE\n  Entre:\n")));
    // The census appends its summary below the contract, in 10 points.
    EXPECT_TRUE(shown.contains(QStringLiteral("VOUS TROUVEREZ CI-DESSOUS LES INFORMATIONS COLLECTEES")));
    EXPECT_DOUBLE_EQ(o.control<QPlainTextEdit>("txtconvention")->font().pointSizeF(), 10.0);
    // The report file of the census.
    EXPECT_FALSE(QDir(o.drive.host(QStringLiteral("praxidome/MAJ"))).entryList({QStringLiteral("*.pxd")}).isEmpty());
    EXPECT_EQ(o.form->focusWidget(), o.control<QWidget>("txtconvention"));
}

TEST(OpeningWork, UnreadableSettingsShowTheErrorAndEndTheProgram)
{
    Opened o;
    test::makeInstallation(o.drive, false);
    ASSERT_TRUE(QFile::remove(o.drive.host(QStringLiteral("praxidome/parametres.mdb"))));
    o.open();
    EXPECT_FALSE(o.completed);
    EXPECT_TRUE(o.ui.ended);
    ASSERT_FALSE(o.ui.messages.isEmpty());
    EXPECT_TRUE(o.ui.messages.last().startsWith(QStringLiteral("3024: "))) << o.ui.messages.last().toStdString();
    // The census never ran.
    EXPECT_FALSE(o.form->core().window.txtconvention.contains(QStringLiteral("VOUS TROUVEREZ")));
}

TEST(OpeningWork, RunningApplicationEndsTheProgramBeforeTheStationRole)
{
    Opened o;
    // No patient database to copy: the application is taken to be running.
    test::createDatabase(o.drive.host(QStringLiteral("praxidome/parametres.mdb")), QStringLiteral("parametres"));
    o.open();
    EXPECT_FALSE(o.completed);
    EXPECT_TRUE(o.ui.ended);
    EXPECT_EQ(o.form->core().window.LBLSERVEURCLIENT, QStringLiteral("POSTE"));
}

TEST(OpeningWork, RunsOnceAtTheFirstShowing)
{
    Opened o;
    test::makeInstallation(o.drive, false);
    o.open();
    ASSERT_TRUE(o.completed);
    o.form->core().window.caption = QStringLiteral("changé");
    o.form->hide();
    EXPECT_TRUE(o.form->showAndActivate());
    EXPECT_EQ(o.form->core().window.caption, QStringLiteral("changé"));
}

} // namespace
