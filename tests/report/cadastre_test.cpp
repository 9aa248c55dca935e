#include "TestSupport.h"
#include "platform/Ansi.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "report/Census.h"
#include "report/Report.h"

#include <QDirIterator>

#include <gtest/gtest.h>

using namespace maj;

namespace {

const QString kIntro = "CONTRAT\r\n\r\n"
                       "VOUS TROUVEREZ CI-DESSOUS LES INFORMATIONS COLLECTEES À LA SUITE DE CETTE MISE A JOUR\r\n"
                       "LA POURSUITE DE CETTE MISE À JOUR VAUT ACCEPTATION DE L'ENVOI DE CES DONNEES À NORVIX";

struct Census : test::StepFixture
{
    Census()
    {
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

    // "yyyy-MM dentist" each; dentist NULL: a treatment without a dentist.
    void addTreatments(const QStringList& treatments)
    {
        QStringList rows;
        for (const QString& t : treatments)
            rows << QStringLiteral("(%1, 1, %2, '%3-15 10:30:00')").arg(rows.size() + 1).arg(t.mid(8), t.left(7));
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

    QString reportName() const
    {
        return "Cabinet_Elise_Muller_" + nomordinateur() + '_' + clock.moment.date().toString("yyyyMMdd") + ".pxd";
    }
};

// The report and the summary: on a server the counts and lists of the last two calendar years, in
// January too (treatments without a dentist are counted, not listed); on a client workstation the
// first line only. Settings field 20 is written by itself, as a number or as Null. The work folder is
// emptied first, but for its hidden and system files and its folders.
TEST(Cadastre, ReportAndSummary)
{
    const QByteArray a = "Dr Alain Lebrun;3-12345-67-001;", b = "Dr B\xE9\x61trice No\xEBl;3-22222-22-002;",
                     c4 = "Dr Chlo\xE9 Martin;3-44444-44-004;";
    const QString sa = "\r\nDr Alain Lebrun\r\n3-12345-67-001\r\nalain@lebrun.be",
                  sb = "\r\nDr Béatrice Noël\r\n3-22222-22-002\r\nbea@noel.be",
                  sc = "\r\nDr Chloé Martin\r\n3-44444-44-004\r\n";
    const struct
    {
        const char* what;
        QStringList treatments;
        QByteArray reportEnd; // after the locality
        QString summaryEnd;
        QDate today = QDate(2026, 3, 5);
        const char* workstations = "3";
        bool client = false;
    } cases[] = {
        {"server",
         {"2024-06 2", "2025-01 1", "2025-05 1", "2025-12 1", "2025-02 2", "2025-03 9", "2025-04 9", "2026-01 4",
          "2026-03 4", "2027-01 1"},
         " 3 \r\n2025; 3 \r\n" + a + b + "FIN\r\n2026; 1 \r\n" + c4 + "FIN\r\n",
         "3\r\n NOMBRE DE DENTISTES 2025 = 3" + sa + sb + "\r\n NOMBRE DE DENTISTES 2026 = 1" + sc},
        {"a year without treatment",
         {"2026-02 1"},
         " 3 \r\n2025; 0 \r\nFIN\r\n2026; 1 \r\n" + a + "FIN\r\n",
         "3\r\n NOMBRE DE DENTISTES 2025 = 0\r\n NOMBRE DE DENTISTES 2026 = 1" + sa},
        {"January",
         {"2025-06 1", "2026-07 2", "2027-01 4"},
         " 3 \r\n2026; 1 \r\n" + b + "FIN\r\n2027; 1 \r\n" + c4 + "FIN\r\n",
         "3\r\n NOMBRE DE DENTISTES 2026 = 1" + sb + "\r\n NOMBRE DE DENTISTES 2027 = 1" + sc,
         QDate(2027, 1, 4)},
        {"without a dentist",
         {"2025-01 NULL", "2025-02 2", "2026-01 NULL"},
         " 3 \r\n2025; 2 \r\n" + b + "FIN\r\n2026; 1 \r\nFIN\r\n",
         "3\r\n NOMBRE DE DENTISTES 2025 = 2" + sb + "\r\n NOMBRE DE DENTISTES 2026 = 1"},
        {"client", {"2025-01 1", "2026-01 4"}, " 12 \r\n", "12", QDate(2026, 3, 5), "12", true},
        {"client without a count", {"2025-01 1"}, "Null\r\n", "", QDate(2026, 3, 5), "NULL", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Census t;
        for (const char* name :
             {"ancien_PC_20250101.pxd", "LISEZMOI", "lecture.pxd", "cache.dat", "sys.dat", "sous/garde.txt"})
            t.drive.write(QString("praxidome/MAJ/") + name);
        fs::setAttributes("c:\\praxidome\\MAJ\\lecture.pxd", fs::ReadOnly);
        fs::setAttributes("c:\\praxidome\\MAJ\\cache.dat", fs::Hidden);
        fs::setAttributes("c:\\praxidome\\MAJ\\sys.dat", fs::System);
        t.addTreatments(c.treatments);
        t.setSettings("Cabinet Élise Müller", c.workstations, c.client ? "CLIENT" : "SERVEUR");
        t.clock.moment = QDateTime(c.today, QTime(8, 5, 9));
        t.run(c.client);
        const QString date = fmt::shortDate(c.today), station = c.client ? "POSTE CLIENT" : "SERVEUR";
        EXPECT_EQ(t.drive.entries("praxidome/MAJ"), QStringList({t.reportName(), "cache.dat", "sous", "sys.dat"}));
        EXPECT_EQ(t.drive.read("praxidome/MAJ/sous/garde.txt"), "x");
        EXPECT_EQ(t.drive.read("praxidome/MAJ/" + t.reportName()),
                  (date + ";08:05:09;NL;8.6.8;VERSION PLURI;" + station + ';' + nomordinateur()).toLatin1() +
                      ";Cabinet \xC9lise M\xFCller;Rue de l'\xC9glise 3;Li\xE8ge;" + c.reportEnd);
        EXPECT_EQ(t.f.window.txtconvention,
                  kIntro + "\r\nDATE: " + date + " 08:05:09\r\nVERSION PLURI 8.6.8 NL\r\n" + station + ' ' +
                      nomordinateur() + "\r\nCabinet Élise Müller\r\nRue de l'Église 3\r\nLiège\r\n" + c.summaryEnd);
        EXPECT_TRUE(t.ui.messages.isEmpty());
        // The four data sources stay bound to the patient database.
        for (const DataSource* source : {&t.f.data.Data1, &t.f.data.Data2, &t.f.data.Data3, &t.f.data.Data4})
            EXPECT_TRUE(source->isOpen() && source->databaseName() == "c:\\praxidome\\pat.mdb")
                << qPrintable(source->name());
    }
}

// A practice name that no file name can hold, or no patient database: the introduction alone.
TEST(ReportCadastre, WithoutAFileNameOrPatientsOnlyTheIntroduction)
{
    Census t;
    for (const char* practice : {"Dupont\\..\\..\\Evil", "Dupont/Fils", "Dupont: Fils", "Dupont*", "A\"B", ""}) {
        SCOPED_TRACE(practice);
        t.setSettings(practice, "1", "SERVEUR");
        if (!*practice) {
            QFile::remove(t.drive.host("praxidome/pat.mdb"));
            t.f.settings.ReportName.clear();
        }
        t.run();
        EXPECT_EQ(t.f.settings.ReportName, *practice ? enleveaccents(practice) : QString());
        QDirIterator it(t.drive.host(), {"*.pxd"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        EXPECT_FALSE(it.hasNext()) << qPrintable(it.next());
        EXPECT_EQ(t.f.window.txtconvention, kIntro);
        EXPECT_TRUE(t.ui.messages.isEmpty());
    }
}

// Accents folded and blanks replaced in a name; a plain file name; Windows-1252 and a question
// mark for the rest.
TEST(ReportText, AccentsFileNamesAndWindows1252)
{
    const char* cases[][2] = {
        {"ÀÁÂÃÄÅàáâãäåÒÓÔÕÖØòóôõöøÈÉÊËèéêëÌÍÎÏìíîïÙÚÛÜùúûüÿÑñÇç ",
         "AAAAAAaaaaaaOOOOOOooooooEEEEeeeeIIIIiiiiUUUUuuuuyNnCc_"},
        {"Cœur Ÿ Æ ß Š", "Cœur_Ÿ_Æ_ß_Š"},
        {"  deux  blancs ", "__deux__blancs_"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(enleveaccents(c[0]), QString(c[1])) << c[0];
    for (const char* good : {"Cabinet_Dupont_PC_20260305.pxd", "Dupont_&_Fils.pxd", "Élise.pxd", "a.b.c"})
        EXPECT_TRUE(census::isPlainFileName(good)) << good;
    for (const char* bad :
         {"A\\..\\..\\x.pxd", "Dupont/Fils.pxd", "c:x.pxd", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b", "tab\there", ""})
        EXPECT_FALSE(census::isPlainFileName(bad)) << bad;
    // Octal escapes: a hex escape would take the letters after it.
    const std::pair<const char*, QByteArray> ansi[] = {
        {"Cœur 10 € – Œuvre", "C\234ur 10 \200 \226 \214uvre"},
        {"Łódź", "?\363d?"},
        {"a\xF0\x9F\x98\x80z", "a?z"},
    };
    for (const auto& [in, out] : ansi)
        EXPECT_EQ(toAnsi(in), out) << in;
}

} // namespace
