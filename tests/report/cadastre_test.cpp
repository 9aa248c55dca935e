#include "TestSupport.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/jet/Sqlite.h"
#include "report/Census.h"
#include "report/Report.h"

#include <QDir>
#include <QDirIterator>

#include <gtest/gtest.h>

using namespace maj;

namespace {

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

struct Treatment
{
    int year;
    int month;
    QVariant dentist; // null: a treatment without a dentist
};

class ReportCadastre : public ::testing::Test
{
protected:
    test::TempDrive drive;
    test::RecordingUi ui;
    test::FixedClock clock{QDateTime(QDate(2026, 3, 5), QTime(14, 2, 31))};
    std::unique_ptr<Form1Core> core;

    void SetUp() override
    {
        test::createDatabase(drive.host("praxidome/pat.mdb"), "pat");
        test::createDatabase(drive.host("praxidome/parametres.mdb"), "parametres");
        sqlite::Connection pat(drive.host("praxidome/pat.mdb"), sqlite::Connection::Mode::ReadWrite);
        pat.exec("insert into parapat (ID, NOM_CABINET, NUMERO_LICENCE, VERSION_BASE) values (1, 'x', 'L-1', '8.6.8')");
        pat.exec(text("insert into dentiste (numdentiste, NOM, INAMI, EMAIL) values "
                      "(1, 'Dr Alain Lebrun', '3-12345-67-001', 'alain@lebrun.be'), "
                      "(2, 'Dr Béatrice Noël', '3-22222-22-002', 'bea@noel.be'), "
                      "(4, 'Dr Chloé Martin', '3-44444-44-004', null)"));
        setSettings(text("Cabinet Élise Müller"), qlonglong(3), "SERVEUR");
    }

    void setSettings(const QString& practice, const QVariant& workstations, const QString& station)
    {
        sqlite::Connection db(drive.host("praxidome/parametres.mdb"), sqlite::Connection::Mode::ReadWrite);
        db.exec("delete from parapat");
        sqlite::Statement insert = db.prepare(
            "insert into parapat (ID, NOM_CABINET, ADRESSE_CABINET, LOCALITE_CABINET, NOMBRE_POSTES, STATION) "
            "values (1, ?, ?, ?, ?, ?)");
        insert.bind(1, practice);
        insert.bind(2, text("Rue de l'Église 3"));
        insert.bind(3, text("Liège"));
        insert.bind(4, workstations);
        insert.bind(5, station);
        insert.step();
    }

    void addTreatments(const QList<Treatment>& treatments)
    {
        sqlite::Connection db(drive.host("praxidome/pat.mdb"), sqlite::Connection::Mode::ReadWrite);
        sqlite::Transaction transaction(db);
        sqlite::Statement insert =
            db.prepare("insert into soins (NUMSOIN, NUMPAT, numdentiste, date) values (?, 1, ?, ?)");
        int number = 0;
        for (const Treatment& t : treatments) {
            insert.bind(1, ++number);
            insert.bind(2, t.dentist);
            insert.bind(3, QString::asprintf("%04d-%02d-15 10:30:00", t.year, t.month));
            insert.step();
            insert.reset();
        }
        transaction.commit();
    }

    // The main window as the opening work leaves it before the census.
    Form1Core& run(bool client = false)
    {
        core = std::make_unique<Form1Core>(ui, clock);
        core->settings.LanguageCode = "NL";
        core->settings.StationRole = client;
        core->window.LBLSERVEURCLIENT = client ? "POSTE CLIENT" : "SERVEUR";
        core->window.txtconvention = "CONTRAT";
        core->data.Data7.bind("C:\\praxidome\\PARAMETRES.MDB", "parapat");
        cadastre(*core);
        return *core;
    }

    QString reportName(const QString& prefix, const QDate& date) const
    {
        return prefix + '_' + nomordinateur() + '_' + date.toString("yyyyMMdd") + ".pxd";
    }

    QByteArray report(const QString& name) const { return drive.read("praxidome/MAJ/" + name); }

    QStringList workFolder() const
    {
        return QDir(drive.host("praxidome/MAJ"))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }

    // Every .pxd file anywhere on the drive.
    QStringList reportsOnDrive() const
    {
        QStringList found;
        QDirIterator it(drive.host(), {"*.pxd"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            found << QDir(drive.host()).relativeFilePath(it.next());
        return found;
    }

    static QByteArray stamp(const QDateTime& at)
    {
        return (fmt::shortDate(at.date()) + ';' + fmt::time(at.time())).toLatin1();
    }

    static QString summaryDate(const QDateTime& at)
    {
        return "DATE: " + fmt::shortDate(at.date()) + ' ' + fmt::time(at.time());
    }

    static QString intro()
    {
        return text("CONTRAT\r\n\r\n"
                    "VOUS TROUVEREZ CI-DESSOUS LES INFORMATIONS COLLECTEES À LA SUITE DE CETTE MISE A JOUR\r\n"
                    "LA POURSUITE DE CETTE MISE À JOUR VAUT ACCEPTATION DE L'ENVOI DE CES DONNEES À NORVIX");
    }
};

TEST_F(ReportCadastre, ServerReportAndSummary)
{
    // 2025: dentist 1 three times, 2 once, 9 (no dentiste row) twice; 2026: dentist 4 twice.
    addTreatments({{2024, 6, 2},
                   {2025, 1, 1},
                   {2025, 5, 1},
                   {2025, 12, 1},
                   {2025, 2, 2},
                   {2025, 3, 9},
                   {2025, 4, 9},
                   {2026, 1, 4},
                   {2026, 3, 4},
                   {2027, 1, 1}});
    Form1Core& f = run();

    const QString name = reportName("Cabinet_Elise_Muller", QDate(2026, 3, 5));
    EXPECT_EQ(f.settings.ReportName, "Cabinet_Elise_Muller");
    EXPECT_EQ(workFolder(), QStringList{name});
    const QByteArray host = nomordinateur().toLatin1();
    EXPECT_EQ(report(name), stamp(clock.moment) + ";NL;8.6.8;VERSION PLURI;SERVEUR;" + host +
                                ";Cabinet \xC9lise M\xFCller;Rue de l'\xC9glise 3;Li\xE8ge; 3 \r\n"
                                "2025; 3 \r\n"
                                "Dr Alain Lebrun;3-12345-67-001;Dr B\xE9\x61trice No\xEBl;3-22222-22-002;FIN\r\n"
                                "2026; 1 \r\n"
                                "Dr Chlo\xE9 Martin;3-44444-44-004;FIN\r\n");

    EXPECT_EQ(f.window.txtconvention, intro() + "\r\n" + summaryDate(clock.moment) +
                                          "\r\nVERSION PLURI 8.6.8 NL\r\nSERVEUR " + nomordinateur() +
                                          text("\r\nCabinet Élise Müller\r\nRue de l'Église 3\r\nLiège\r\n3"
                                               "\r\n NOMBRE DE DENTISTES 2025 = 3"
                                               "\r\nDr Alain Lebrun\r\n3-12345-67-001\r\nalain@lebrun.be"
                                               "\r\nDr Béatrice Noël\r\n3-22222-22-002\r\nbea@noel.be"
                                               "\r\n NOMBRE DE DENTISTES 2026 = 1"
                                               "\r\nDr Chloé Martin\r\n3-44444-44-004\r\n"));
    EXPECT_EQ(f.window.txtconventionFontSize, 10);
    EXPECT_TRUE(ui.messages.isEmpty());

    // The four data sources stay bound to the patient database.
    const struct
    {
        DataSource& source;
        QString recordSource;
    } bound[] = {{f.data.Data1, census::yearQuery(2026)},
                 {f.data.Data2, "select * from dentiste"},
                 {f.data.Data3, census::yearQuery(2025)},
                 {f.data.Data4, "select * from parapat"}};
    for (const auto& b : bound) {
        EXPECT_TRUE(b.source.isOpen()) << qPrintable(b.source.name());
        EXPECT_EQ(b.source.databaseName(), "c:\\praxidome\\pat.mdb");
        EXPECT_EQ(b.source.recordSource(), b.recordSource);
    }
}

TEST_F(ReportCadastre, ClientWorkstationWritesLineOneOnly)
{
    addTreatments({{2025, 1, 1}, {2026, 1, 4}});
    setSettings(text("Cabinet Élise Müller"), qlonglong(3), "CLIENT");
    Form1Core& f = run(true);

    const QString name = reportName("Cabinet_Elise_Muller", QDate(2026, 3, 5));
    EXPECT_EQ(report(name), stamp(clock.moment) + ";NL;8.6.8;VERSION PLURI;POSTE CLIENT;" + nomordinateur().toLatin1() +
                                ";Cabinet \xC9lise M\xFCller;Rue de l'\xC9glise 3;Li\xE8ge; 3 \r\n");
    EXPECT_EQ(f.window.txtconvention, intro() + "\r\n" + summaryDate(clock.moment) +
                                          "\r\nVERSION PLURI 8.6.8 NL\r\nPOSTE CLIENT " + nomordinateur() +
                                          text("\r\nCabinet Élise Müller\r\nRue de l'Église 3\r\nLiège\r\n3"));
}

TEST_F(ReportCadastre, SettingsField20AsNumberOrNull)
{
    const struct
    {
        QVariant workstations;
        QByteArray lineEnd;
        QString summaryEnd;
    } cases[] = {{qlonglong(12), "Li\xE8ge; 12 \r\n", text("Liège\r\n12")},
                 {QVariant(), "Li\xE8ge;Null\r\n", text("Liège\r\n")}};
    for (const auto& c : cases) {
        setSettings("Dupont", c.workstations, "CLIENT");
        Form1Core& f = run(true);
        EXPECT_TRUE(report(reportName("Dupont", QDate(2026, 3, 5))).endsWith(c.lineEnd));
        EXPECT_TRUE(f.window.txtconvention.endsWith(c.summaryEnd));
    }
}

TEST_F(ReportCadastre, YearWithoutTreatmentCountsZeroAndListsNobody)
{
    addTreatments({{2026, 2, 1}});
    Form1Core& f = run();
    const QByteArray file = report(reportName("Cabinet_Elise_Muller", QDate(2026, 3, 5)));
    EXPECT_TRUE(file.endsWith("\r\n2025; 0 \r\nFIN\r\n2026; 1 \r\nDr Alain Lebrun;3-12345-67-001;FIN\r\n"))
        << file.constData();
    EXPECT_TRUE(f.window.txtconvention.endsWith("\r\n NOMBRE DE DENTISTES 2025 = 0\r\n NOMBRE DE DENTISTES 2026 = "
                                                "1\r\nDr Alain Lebrun\r\n3-12345-67-001\r\nalain@lebrun.be"));
}

TEST_F(ReportCadastre, JanuaryCountsTheLastCalendarYearAndTheNewOne)
{
    addTreatments({{2025, 6, 1}, {2026, 6, 1}, {2026, 7, 2}, {2027, 1, 4}});
    clock.moment = QDateTime(QDate(2027, 1, 4), QTime(8, 5, 9));
    Form1Core& f = run();
    const QString name = reportName("Cabinet_Elise_Muller", QDate(2027, 1, 4));
    EXPECT_EQ(workFolder(), QStringList{name});
    const QByteArray file = report(name);
    EXPECT_TRUE(
        file.endsWith("\r\n2026; 2 \r\nDr Alain Lebrun;3-12345-67-001;Dr B\xE9\x61trice No\xEBl;3-22222-22-002;FIN"
                      "\r\n2027; 1 \r\nDr Chlo\xE9 Martin;3-44444-44-004;FIN\r\n"))
        << file.constData();
    EXPECT_EQ(f.data.Data1.recordSource(), census::yearQuery(2027));
    EXPECT_EQ(f.data.Data3.recordSource(), census::yearQuery(2026));
}

TEST_F(ReportCadastre, TreatmentsWithoutADentistAreCountedNotListed)
{
    addTreatments({{2025, 1, QVariant()}, {2025, 2, 2}, {2026, 1, QVariant()}});
    Form1Core& f = run();
    const QByteArray file = report(reportName("Cabinet_Elise_Muller", QDate(2026, 3, 5)));
    EXPECT_TRUE(file.endsWith("\r\n2025; 2 \r\nDr B\xE9\x61trice No\xEBl;3-22222-22-002;FIN\r\n2026; 1 \r\nFIN\r\n"))
        << file.constData();
    EXPECT_TRUE(f.window.txtconvention.endsWith(" NOMBRE DE DENTISTES 2026 = 1"));
}

TEST_F(ReportCadastre, EmptiesTheWorkFolderButKeepsHiddenAndSystemFiles)
{
    for (const char* name :
         {"ancien_PC_20250101.pxd", "notes.txt", "LISEZMOI", "lecture.pxd", "cache.dat", "sys.dat", "sous/garde.txt"})
        drive.write(QString("praxidome/MAJ/") + name);
    fs::setAttributes("c:\\praxidome\\MAJ\\lecture.pxd", fs::ReadOnly);
    fs::setAttributes("c:\\praxidome\\MAJ\\cache.dat", fs::Hidden);
    fs::setAttributes("c:\\praxidome\\MAJ\\sys.dat", fs::System);
    run(true);

    const QString name = reportName("Cabinet_Elise_Muller", QDate(2026, 3, 5));
    QStringList expected{"cache.dat", "sous", "sys.dat", name};
    expected.sort();
    EXPECT_EQ(workFolder(), expected);
    EXPECT_EQ(drive.read("praxidome/MAJ/sous/garde.txt"), "x");
}

TEST_F(ReportCadastre, PracticeNameThatNoFileNameCanHoldWritesNoReport)
{
    for (const char* practice : {"Dupont\\..\\..\\Evil", "Dupont/Fils", "Dupont: Fils", "Dupont*", "A\"B"}) {
        setSettings(text(practice), qlonglong(1), "SERVEUR");
        Form1Core& f = run();
        EXPECT_EQ(f.settings.ReportName, enleveaccents(text(practice)));
        EXPECT_TRUE(reportsOnDrive().isEmpty()) << practice << ": " << qPrintable(reportsOnDrive().join(' '));
        EXPECT_TRUE(workFolder().isEmpty()) << practice;
        EXPECT_EQ(f.window.txtconvention, intro()) << practice;
        EXPECT_TRUE(ui.messages.isEmpty());
    }
}

TEST_F(ReportCadastre, MissingPatientDatabaseEndsSilentlyAfterTheIntroduction)
{
    QFile::remove(drive.host("praxidome/pat.mdb"));
    Form1Core& f = run();
    EXPECT_EQ(f.window.txtconvention, intro());
    EXPECT_TRUE(f.settings.ReportName.isEmpty());
    EXPECT_TRUE(workFolder().isEmpty());
    EXPECT_TRUE(ui.messages.isEmpty());
}

} // namespace
