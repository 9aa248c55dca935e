#include "TestSupport.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "report/Census.h"
#include "report/Report.h"

#include <QDir>
#include <QDirIterator>

#include <gtest/gtest.h>

using namespace maj;

namespace {

struct Treatment
{
    int year;
    int month;
    const char* dentist; // "NULL": a treatment without a dentist
};

const QString kIntro = "CONTRAT\r\n\r\n"
                       "VOUS TROUVEREZ CI-DESSOUS LES INFORMATIONS COLLECTEES À LA SUITE DE CETTE MISE A JOUR\r\n"
                       "LA POURSUITE DE CETTE MISE À JOUR VAUT ACCEPTATION DE L'ENVOI DE CES DONNEES À NORVIX";

struct Census : test::StepFixture
{
    Census()
    {
        clock.moment = QDateTime(QDate(2026, 3, 5), QTime(14, 2, 31));
        test::createDatabase(drive.host("praxidome/pat.mdb"), "pat");
        test::createDatabase(drive.host("praxidome/parametres.mdb"), "parametres");
        test::exec(
            drive.host("praxidome/pat.mdb"),
            "insert into parapat (ID, NOM_CABINET, NUMERO_LICENCE, VERSION_BASE) values (1, 'x', 'L-1', '8.6.8');"
            "insert into dentiste (numdentiste, NOM, INAMI, EMAIL) values "
            "(1, 'Dr Alain Lebrun', '3-12345-67-001', 'alain@lebrun.be'), "
            "(2, 'Dr Béatrice Noël', '3-22222-22-002', 'bea@noel.be'), (4, 'Dr Chloé Martin', '3-44444-44-004', null)");
        setSettings("Cabinet Élise Müller", "3", "SERVEUR");
    }

    // The settings record: the practice's name, NOMBRE_POSTES as SQL, STATION.
    void setSettings(const QString& practice, const QString& workstations, const QString& station)
    {
        test::exec(drive.host("praxidome/parametres.mdb"),
                   QStringLiteral("delete from parapat; insert into parapat (ID, NOM_CABINET, ADRESSE_CABINET, "
                                  "LOCALITE_CABINET, NOMBRE_POSTES, STATION) values (1, '%1', 'Rue de l''Église 3', "
                                  "'Liège', %2, '%3')")
                       .arg(practice, workstations, station));
    }

    void addTreatments(const QList<Treatment>& treatments)
    {
        QStringList rows;
        for (const Treatment& t : treatments)
            rows << QStringLiteral("(%1, 1, %2, '%3-%4-15 10:30:00')")
                        .arg(rows.size() + 1)
                        .arg(QLatin1String(t.dentist))
                        .arg(t.year)
                        .arg(t.month, 2, 10, QLatin1Char('0'));
        test::exec(drive.host("praxidome/pat.mdb"),
                   "insert into soins (NUMSOIN, NUMPAT, numdentiste, date) values " + rows.join(','));
    }

    // The main window as the opening work leaves it before the census.
    void run(bool client = false)
    {
        f.settings.LanguageCode = "NL";
        f.settings.StationRole = client;
        f.window.LBLSERVEURCLIENT = client ? "POSTE CLIENT" : "SERVEUR";
        f.window.txtconvention = "CONTRAT";
        f.data.Data7.bind("C:\\praxidome\\PARAMETRES.MDB", "parapat");
        cadastre(f);
    }

    QString reportName(const QString& prefix) const
    {
        return prefix + '_' + nomordinateur() + '_' + clock.moment.date().toString("yyyyMMdd") + ".pxd";
    }
    QByteArray report(const QString& prefix = "Cabinet_Elise_Muller") const
    {
        return drive.read("praxidome/MAJ/" + reportName(prefix));
    }
    QStringList workFolder() const
    {
        return QDir(drive.host("praxidome/MAJ"))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
    // The report's first line and the summary's date line, up to the station.
    QByteArray stamp() const
    {
        return (fmt::shortDate(clock.moment.date()) + ';' + fmt::time(clock.moment.time())).toLatin1() +
               ";NL;8.6.8;VERSION PLURI;";
    }
    QString summaryStart() const
    {
        return kIntro + "\r\nDATE: " + fmt::shortDate(clock.moment.date()) + ' ' + fmt::time(clock.moment.time()) +
               "\r\nVERSION PLURI 8.6.8 NL\r\n";
    }
};

struct ReportCadastre : ::testing::Test, Census
{
};

TEST_F(ReportCadastre, ServerReportAndSummary)
{
    // 2025: dentist 1 three times, 2 once, 9 (no dentiste row) twice; 2026: dentist 4 twice.
    addTreatments({{2024, 6, "2"},
                   {2025, 1, "1"},
                   {2025, 5, "1"},
                   {2025, 12, "1"},
                   {2025, 2, "2"},
                   {2025, 3, "9"},
                   {2025, 4, "9"},
                   {2026, 1, "4"},
                   {2026, 3, "4"},
                   {2027, 1, "1"}});
    run();

    EXPECT_EQ(f.settings.ReportName, "Cabinet_Elise_Muller");
    EXPECT_EQ(workFolder(), QStringList{reportName("Cabinet_Elise_Muller")});
    EXPECT_EQ(report(), stamp() + "SERVEUR;" + nomordinateur().toLatin1() +
                            ";Cabinet \xC9lise M\xFCller;Rue de l'\xC9glise 3;Li\xE8ge; 3 \r\n"
                            "2025; 3 \r\n"
                            "Dr Alain Lebrun;3-12345-67-001;Dr B\xE9\x61trice No\xEBl;3-22222-22-002;FIN\r\n"
                            "2026; 1 \r\n"
                            "Dr Chlo\xE9 Martin;3-44444-44-004;FIN\r\n");
    EXPECT_EQ(f.window.txtconvention, summaryStart() + "SERVEUR " + nomordinateur() +
                                          "\r\nCabinet Élise Müller\r\nRue de l'Église 3\r\nLiège\r\n3"
                                          "\r\n NOMBRE DE DENTISTES 2025 = 3"
                                          "\r\nDr Alain Lebrun\r\n3-12345-67-001\r\nalain@lebrun.be"
                                          "\r\nDr Béatrice Noël\r\n3-22222-22-002\r\nbea@noel.be"
                                          "\r\n NOMBRE DE DENTISTES 2026 = 1"
                                          "\r\nDr Chloé Martin\r\n3-44444-44-004\r\n");
    EXPECT_EQ(f.window.txtconventionFontSize, 10);
    EXPECT_TRUE(ui.messages.isEmpty());

    // The four data sources stay bound to the patient database.
    const std::pair<DataSource*, QString> bound[] = {{&f.data.Data1, census::yearQuery(2026)},
                                                     {&f.data.Data2, "select * from dentiste"},
                                                     {&f.data.Data3, census::yearQuery(2025)},
                                                     {&f.data.Data4, "select * from parapat"}};
    for (const auto& [source, recordSource] : bound) {
        EXPECT_TRUE(source->isOpen());
        EXPECT_EQ(source->databaseName(), "c:\\praxidome\\pat.mdb");
        EXPECT_EQ(source->recordSource(), recordSource);
    }
}

// The counts and lists of the last two calendar years, in January too; treatments without a
// dentist are counted, not listed.
TEST(Cadastre, YearCountsAndLists)
{
    const struct
    {
        const char* what;
        QList<Treatment> treatments;
        QDate today;
        QByteArray reportEnd;
        QString summaryEnd;
    } cases[] = {
        {"a year without treatment",
         {{2026, 2, "1"}},
         QDate(2026, 3, 5),
         "\r\n2025; 0 \r\nFIN\r\n2026; 1 \r\nDr Alain Lebrun;3-12345-67-001;FIN\r\n",
         "\r\n NOMBRE DE DENTISTES 2025 = 0\r\n NOMBRE DE DENTISTES 2026 = 1\r\nDr Alain Lebrun\r\n3-12345-67-001\r\n"
         "alain@lebrun.be"},
        {"January",
         {{2025, 6, "1"}, {2026, 6, "1"}, {2026, 7, "2"}, {2027, 1, "4"}},
         QDate(2027, 1, 4),
         "\r\n2026; 2 \r\nDr Alain Lebrun;3-12345-67-001;Dr B\xE9\x61trice No\xEBl;3-22222-22-002;FIN"
         "\r\n2027; 1 \r\nDr Chlo\xE9 Martin;3-44444-44-004;FIN\r\n",
         "\r\n NOMBRE DE DENTISTES 2027 = 1\r\nDr Chloé Martin\r\n3-44444-44-004\r\n"},
        {"without a dentist",
         {{2025, 1, "NULL"}, {2025, 2, "2"}, {2026, 1, "NULL"}},
         QDate(2026, 3, 5),
         "\r\n2025; 2 \r\nDr B\xE9\x61trice No\xEBl;3-22222-22-002;FIN\r\n2026; 1 \r\nFIN\r\n",
         " NOMBRE DE DENTISTES 2026 = 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Census t;
        t.addTreatments(c.treatments);
        t.clock.moment = QDateTime(c.today, QTime(8, 5, 9));
        t.run();
        EXPECT_EQ(t.workFolder(), QStringList{t.reportName("Cabinet_Elise_Muller")});
        EXPECT_TRUE(t.report().endsWith(c.reportEnd)) << t.report().constData();
        EXPECT_TRUE(t.f.window.txtconvention.endsWith(c.summaryEnd)) << t.f.window.txtconvention.toStdString();
        EXPECT_EQ(t.f.data.Data1.recordSource(), census::yearQuery(c.today.year()));
        EXPECT_EQ(t.f.data.Data3.recordSource(), census::yearQuery(c.today.year() - 1));
    }
}

// A client workstation writes the first line only; settings field 20 is written by itself, as a
// number or as Null.
TEST(Cadastre, ClientWorkstationWritesLineOneOnly)
{
    const struct
    {
        const char* workstations;
        QByteArray lineEnd;
        QString summaryEnd;
    } cases[] = {{"3", "Li\xE8ge; 3 \r\n", "Liège\r\n3"},
                 {"12", "Li\xE8ge; 12 \r\n", "Liège\r\n12"},
                 {"NULL", "Li\xE8ge;Null\r\n", "Liège\r\n"}};
    for (const auto& c : cases) {
        Census t;
        t.addTreatments({{2025, 1, "1"}, {2026, 1, "4"}});
        t.setSettings("Cabinet Élise Müller", c.workstations, "CLIENT");
        t.run(true);
        EXPECT_EQ(t.report(), t.stamp() + "POSTE CLIENT;" + nomordinateur().toLatin1() +
                                  ";Cabinet \xC9lise M\xFCller;Rue de l'\xC9glise 3;" + c.lineEnd);
        EXPECT_EQ(t.f.window.txtconvention, t.summaryStart() + "POSTE CLIENT " + nomordinateur() +
                                                "\r\nCabinet Élise Müller\r\nRue de l'Église 3\r\n" + c.summaryEnd);
    }
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
    QStringList expected{"cache.dat", "sous", "sys.dat", reportName("Cabinet_Elise_Muller")};
    expected.sort();
    EXPECT_EQ(workFolder(), expected);
    EXPECT_EQ(drive.read("praxidome/MAJ/sous/garde.txt"), "x");
}

TEST_F(ReportCadastre, PracticeNameThatNoFileNameCanHoldWritesNoReport)
{
    for (const char* practice : {"Dupont\\..\\..\\Evil", "Dupont/Fils", "Dupont: Fils", "Dupont*", "A\"B"}) {
        setSettings(practice, "1", "SERVEUR");
        run();
        EXPECT_EQ(f.settings.ReportName, enleveaccents(practice));
        QDirIterator it(drive.host(), {"*.pxd"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        EXPECT_FALSE(it.hasNext()) << practice << ": " << qPrintable(it.next());
        EXPECT_EQ(f.window.txtconvention, kIntro) << practice;
        EXPECT_TRUE(ui.messages.isEmpty());
    }
}

TEST_F(ReportCadastre, MissingPatientDatabaseEndsSilentlyAfterTheIntroduction)
{
    QFile::remove(drive.host("praxidome/pat.mdb"));
    run();
    EXPECT_EQ(f.window.txtconvention, kIntro);
    EXPECT_TRUE(f.settings.ReportName.isEmpty());
    EXPECT_TRUE(workFolder().isEmpty());
    EXPECT_TRUE(ui.messages.isEmpty());
}

} // namespace
