#include "Database.h"
#include "MajError.h"
#include "Sample.h"
#include "Sqlite.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace maj;
using namespace maj::sample;

namespace {

const QDate today(2026, 6, 15);

Options small(const QTemporaryDir& dir)
{
    Options o;
    o.drive = dir.filePath(QStringLiteral("drive_c"));
    o.medium = dir.filePath(QStringLiteral("medium"));
    o.codes = 120;
    o.patients = 40;
    o.treatments = 600;
    o.years = 3;
    o.seed = 7;
    o.today = today;
    return o;
}

QString app(const Options& o, const QString& name)
{
    return QDir(o.drive).filePath(QStringLiteral("praxidome/") + name);
}

QString onMedium(const Options& o, const QString& name)
{
    return QDir(o.medium).filePath(name);
}

QList<QVariantList> query(const QString& path, const QString& sql)
{
    sqlite::Connection db(path, sqlite::Connection::Mode::ReadOnly);
    sqlite::Statement statement = db.prepare(sql);
    QList<QVariantList> rows;
    while (statement.step()) {
        QVariantList row;
        for (int i = 0; i < statement.columnCount(); ++i)
            row.append(statement.column(i));
        rows.append(row);
    }
    return rows;
}

QVariant scalar(const QString& path, const QString& sql)
{
    const QList<QVariantList> rows = query(path, sql);
    return rows.isEmpty() ? QVariant() : rows.first().value(0);
}

QStringList columnNames(const QString& path, const QString& table)
{
    QStringList names;
    for (const QVariantList& row : query(path, QStringLiteral("PRAGMA table_info(\"%1\")").arg(table)))
        names.append(row[1].toString());
    return names;
}

QStringList tables(const QString& path)
{
    QStringList names;
    for (const QVariantList& row :
         query(path, QStringLiteral("select name from sqlite_master where type = 'table' order by name")))
        names.append(row[0].toString());
    return names;
}

// Every row of every table of a database file, as text, in table order.
QStringList dump(const QString& path)
{
    QStringList lines;
    for (const QString& table : tables(path)) {
        lines.append(QStringLiteral("[%1]").arg(table));
        for (const QVariantList& row : query(path, QStringLiteral("select * from \"%1\"").arg(table))) {
            QStringList values;
            for (const QVariant& v : row)
                values.append(v.isValid() ? v.toString() : QStringLiteral("<null>"));
            lines.append(values.join(QLatin1Char('|')));
        }
    }
    return lines;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const char* const databases[] = {"pat", "parametres", "eattest", "pannexe", "traj", "rappels", "etarification"};

class MkInstall : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    Options options = small(dir);
};

TEST_F(MkInstall, LaysOutEveryFileOfTheInstallationAndOfTheMedium)
{
    layOut(options);
    const QStringList installed = {"praxidome.exe",
                                   "aide/aide.htm",
                                   "st6unst.log",
                                   "pat.mdb",
                                   "parametres.mdb",
                                   "eattest.mdb",
                                   "pannexe.mdb",
                                   "traj.mdb",
                                   "rappels.mdb",
                                   "etarification.mdb",
                                   "ASSURABILITY/MyCarenetProxy6.jar",
                                   "ASSURABILITY/MyCarenetProxy2.jar",
                                   "ASSURABILITY/P12/PRD/truststore.jks",
                                   "ASSURABILITY/P12/PRD/caCertificateKeystore.jks",
                                   "ASSURABILITY/P12/PRD/tsacertificate.jks",
                                   "FORMULAIRES/DPSI_P1.jpg",
                                   "FORMULAIRES/DPSI_P2.jpg"};
    for (const QString& name : installed)
        EXPECT_TRUE(QFileInfo(app(options, name)).isFile()) << qPrintable(name);
    for (const char* folder : {"FORMULAIRES", "mails", "MAJ", "ASSURABILITY/P12/PRD"})
        EXPECT_TRUE(QFileInfo(app(options, QString::fromUtf8(folder))).isDir()) << folder;
    const QStringList medium = {"eattest.mdb",
                                "aide.htm",
                                "MyCarenetProxy6.jar",
                                "MyCarenetProxy2.jar",
                                "truststore.jks",
                                "caCertificateKeystore.jks",
                                "tsacertificate.jks",
                                "DPSI_P1.jpg",
                                "DPSI_P2.jpg",
                                "praxidome.exe",
                                "Praxidome_ Assistance.lnk"};
    for (const QString& name : medium)
        EXPECT_TRUE(QFileInfo(onMedium(options, name)).isFile()) << qPrintable(name);
    EXPECT_FALSE(QFileInfo::exists(QDir(options.drive).filePath(QStringLiteral("MAJJAN2021"))));

    // The install log dates the installation: years back, before every treatment.
    const QDateTime logged = QFileInfo(app(options, QStringLiteral("st6unst.log"))).lastModified();
    EXPECT_LT(logged.date(), today.addYears(-options.years));
    EXPECT_TRUE(contents(app(options, QStringLiteral("praxidome.exe"))).contains("Praxidome 8.6.7"));
    EXPECT_TRUE(contents(onMedium(options, QStringLiteral("praxidome.exe"))).contains("Praxidome 8.6.8"));
    EXPECT_TRUE(contents(onMedium(options, QStringLiteral("praxidome.exe"))).startsWith("MZ"));
    EXPECT_TRUE(QString::fromUtf8(contents(app(options, QStringLiteral("aide/aide.htm"))))
                    .contains(QStringLiteral("aide en ligne")));
    EXPECT_NE(contents(app(options, QStringLiteral("aide/aide.htm"))),
              contents(onMedium(options, QStringLiteral("aide.htm"))));

    // Real files of their kinds, and the release's differ from the installed ones.
    for (const QString& image :
         {app(options, QStringLiteral("FORMULAIRES/DPSI_P1.jpg")), onMedium(options, QStringLiteral("DPSI_P2.jpg"))}) {
        const QImage picture(image);
        EXPECT_FALSE(picture.isNull()) << qPrintable(image);
        EXPECT_EQ(picture.width(), 248);
    }
    EXPECT_TRUE(contents(onMedium(options, QStringLiteral("MyCarenetProxy6.jar"))).startsWith("PK\x03\x04"));
    EXPECT_TRUE(contents(onMedium(options, QStringLiteral("truststore.jks"))).startsWith("\xFE\xED\xFE\xED"));
    EXPECT_NE(contents(onMedium(options, QStringLiteral("truststore.jks"))),
              contents(app(options, QStringLiteral("ASSURABILITY/P12/PRD/truststore.jks"))));
    EXPECT_NE(contents(onMedium(options, QStringLiteral("MyCarenetProxy2.jar"))),
              contents(app(options, QStringLiteral("ASSURABILITY/MyCarenetProxy2.jar"))));
    EXPECT_TRUE(contents(onMedium(options, QStringLiteral("Praxidome_ Assistance.lnk")))
                    .startsWith(QByteArray::fromHex("4c0000000114020000000000c000000000000046")));
    // The work folder holds the previous update's report, as cadastre leaves it.
    EXPECT_EQ(QDir(app(options, QStringLiteral("MAJ"))).entryList({QStringLiteral("*.pxd")}).size(), 1);
}

TEST_F(MkInstall, EveryDatabaseHoldsEveryTableOfItsSchemaWithItsColumns)
{
    layOut(options);
    QTemporaryDir reference;
    for (const char* name : databases) {
        const QString schema = QString::fromUtf8(name);
        const QString expected = reference.filePath(schema + QStringLiteral(".mdb"));
        maj::test::createDatabase(expected, schema);
        QStringList files{app(options, schema + QStringLiteral(".mdb"))};
        if (schema == QLatin1String("eattest"))
            files.append(onMedium(options, QStringLiteral("eattest.mdb")));
        for (const QString& file : files) {
            ASSERT_EQ(tables(file), tables(expected)) << qPrintable(file);
            for (const QString& table : tables(expected))
                EXPECT_EQ(columnNames(file, table), columnNames(expected, table))
                    << qPrintable(file) << " " << qPrintable(table);
        }
    }
    // Each table that the steps read has rows.
    const std::pair<const char*, const char*> filled[] = {{"pat.mdb", "nomenclature"},
                                                          {"pat.mdb", "patients"},
                                                          {"pat.mdb", "soins"},
                                                          {"pat.mdb", "dentiste"},
                                                          {"pat.mdb", "parapat"},
                                                          {"parametres.mdb", "parapat"},
                                                          {"eattest.mdb", "nomen"},
                                                          {"pannexe.mdb", "ortho"},
                                                          {"traj.mdb", "nomenclature"},
                                                          {"rappels.mdb", "Attestationsdifferees"},
                                                          {"rappels.mdb", "rappelsvisite"},
                                                          {"etarification.mdb", "REJETS"}};
    for (const auto& [file, table] : filled)
        EXPECT_GT(
            scalar(app(options, QString::fromUtf8(file)), QStringLiteral("select count(*) from \"%1\"").arg(table))
                .toInt(),
            0)
            << file << " " << table;
}

TEST_F(MkInstall, KeepsTheFieldPositionsTheProgramReadsAndWrites)
{
    layOut(options);
    struct Position
    {
        const char* file;
        const char* table;
        int position;
        const char* name;
    };
    const Position positions[] = {
        {"pat.mdb", "nomenclature", 0, "ABREVIATION"},
        {"pat.mdb", "nomenclature", 1, "code inami"},
        {"eattest.mdb", "nomen", 0, "ABREVIATION"},
        {"eattest.mdb", "nomen", 1, "code inami"},
        {"traj.mdb", "nomenclature", 0, "ABREVIATION"},
        {"traj.mdb", "nomenclature", 1, "code inami"},
        {"pat.mdb", "patients", 42, "CLESIS"},
        {"pat.mdb", "parapat", 3, "VERSION_BASE"},
        {"pat.mdb", "dentiste", 0, "numdentiste"},
        {"pat.mdb", "dentiste", 1, "NOM"},
        {"pat.mdb", "dentiste", 6, "INAMI"},
        {"pat.mdb", "dentiste", 8, "EMAIL"},
        {"parametres.mdb", "parapat", 15, "NOM_CABINET"},
        {"parametres.mdb", "parapat", 16, "ADRESSE_CABINET"},
        {"parametres.mdb", "parapat", 17, "LOCALITE_CABINET"},
        {"parametres.mdb", "parapat", 20, "NOMBRE_POSTES"},
        {"parametres.mdb", "parapat", 21, "STATION"},
        {"parametres.mdb", "parapat", 61, "NUMERO_MAJ"},
        {"pannexe.mdb", "ortho", 0, "numpat"},
        {"pannexe.mdb", "ortho", 79, "NUMEROMAJ"},
        {"rappels.mdb", "Attestationsdifferees", 3, "ADRESSE"},
        {"rappels.mdb", "rappelsvisite", 3, "ADRESSE"},
        {"etarification.mdb", "REJETS", 0, "CODE"},
        {"etarification.mdb", "REJETS", 1, "DESIGNATION"},
    };
    for (const Position& p : positions) {
        const QStringList names = columnNames(app(options, QString::fromUtf8(p.file)), QString::fromUtf8(p.table));
        ASSERT_GT(names.size(), p.position) << p.file << " " << p.table;
        EXPECT_EQ(names[p.position], QString::fromUtf8(p.name)) << p.file << " " << p.table << " " << p.position;
    }
    // The column that a one-off step adds goes to position 51: the table has 51 columns before it.
    EXPECT_EQ(columnNames(app(options, QStringLiteral("pat.mdb")), QStringLiteral("patients")).size(), 51);
    EXPECT_GE(columnNames(app(options, QStringLiteral("pat.mdb")), QStringLiteral("nomenclature")).size(), 21);

    // The values read by position, with how they are stored.
    struct Value
    {
        const char* file;
        const char* table;
        int position;
        QVariant expected;
        const char* storage;
    };
    const Value values[] = {
        {"parametres.mdb", "parapat", 15, QStringLiteral("Cabinet dentaire Dupont & Fils"), "text"},
        {"parametres.mdb", "parapat", 16, QStringLiteral("Chaussée de Bruxelles 135"), "text"},
        {"parametres.mdb", "parapat", 17, QStringLiteral("Waterloo"), "text"},
        {"parametres.mdb", "parapat", 20, 3, "integer"},
        {"parametres.mdb", "parapat", 21, QStringLiteral("SERVEUR"), "text"},
        {"parametres.mdb", "parapat", 61, QStringLiteral("37"), "text"},
        {"pat.mdb", "parapat", 3, QStringLiteral("8.6.7"), "text"},
    };
    for (const Value& v : values) {
        const QString path = app(options, QString::fromUtf8(v.file));
        const QString column = columnNames(path, QString::fromUtf8(v.table))[v.position];
        const QVariantList first = query(path, QStringLiteral("select \"%1\", typeof(\"%1\") from \"%2\" limit 1")
                                                   .arg(column, QString::fromUtf8(v.table)))
                                       .value(0);
        ASSERT_EQ(first.size(), 2) << v.file << " " << v.position;
        EXPECT_EQ(first[0].toString(), v.expected.toString()) << v.file << " " << v.position;
        EXPECT_EQ(first[1].toString(), QString::fromUtf8(v.storage)) << v.file << " " << v.position;
    }
}

TEST_F(MkInstall, FillsThePracticeWithPlausibleData)
{
    layOut(options);
    const QString pat = app(options, QStringLiteral("pat.mdb"));
    const QRegularExpression inami(QStringLiteral("^3-\\d{5}-\\d{2}-\\d{3}$"));
    const QRegularExpression isoDate(QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}$"));
    const QList<QVariantList> dentists = query(pat, QStringLiteral("select * from dentiste"));
    ASSERT_GE(dentists.size(), 3);
    for (const QVariantList& d : dentists) {
        EXPECT_TRUE(inami.match(d[6].toString()).hasMatch()) << qPrintable(d[6].toString());
        EXPECT_TRUE(d[8].toString().contains(QLatin1Char('@'))) << qPrintable(d[8].toString());
        EXPECT_FALSE(d[1].toString().isEmpty());
    }

    EXPECT_EQ(scalar(pat, QStringLiteral("select count(distinct NUMPAT) from patients")).toInt(), options.patients);
    EXPECT_EQ(
        scalar(pat, QStringLiteral("select count(*) from patients where CODEPOSTAL not glob '[1-9][0-9][0-9][0-9]'"))
            .toInt(),
        0);
    EXPECT_EQ(scalar(pat, QStringLiteral("select count(*) from patients where length(ADRESSE) > 30")).toInt(), 0);
    EXPECT_EQ(scalar(pat, QStringLiteral("select count(*) from soins")).toInt(), options.treatments);
    EXPECT_EQ(scalar(pat, QStringLiteral("select count(*) from soins where numdentiste is null")).toInt(), 0);
    EXPECT_EQ(
        scalar(pat, QStringLiteral("select count(*) from soins where NUMPAT not in (select NUMPAT from patients)"))
            .toInt(),
        0);
    EXPECT_EQ(scalar(pat, QStringLiteral("select count(*) from soins where \"code inami\" not in "
                                         "(select \"code inami\" from nomenclature)"))
                  .toInt(),
              0);
    for (const QVariantList& row : query(pat, QStringLiteral("select date from soins"))) {
        const QString text = row[0].toString();
        ASSERT_TRUE(isoDate.match(text).hasMatch()) << qPrintable(text);
        const QDate day = QDate::fromString(text.left(10), Qt::ISODate);
        EXPECT_GT(day, today.addYears(-options.years));
        EXPECT_LE(day, today);
    }
    // The census finds listed dentists both this year and last year.
    for (int year : {today.year(), today.year() - 1})
        EXPECT_GE(
            scalar(pat, QStringLiteral("select count(distinct numdentiste) from soins where substr(date, 1, 4) = '%1' "
                                       "and numdentiste in (select numdentiste from dentiste)")
                            .arg(year))
                .toInt(),
            2)
            << year;
    // Prices are numbers, yes/no 0 or 1.
    EXPECT_EQ(
        scalar(pat, QStringLiteral("select count(*) from nomenclature where typeof(HONORAIRE) <> 'real'")).toInt(), 0);
    EXPECT_EQ(scalar(pat, QStringLiteral("select count(*) from nomenclature where FAVORI not in (0, 1)")).toInt(), 0);
    EXPECT_EQ(scalar(pat, QStringLiteral("select count(*) from soins where PAYE not in (0, 1)")).toInt(), 0);

    // The marker record of the earlier updates, and rejection codes that leave room for the step adding 172 and 175.
    const QVariantList marker =
        query(app(options, QStringLiteral("pannexe.mdb")), QStringLiteral("select * from ortho where numpat = 'Insta'"))
            .value(0);
    ASSERT_EQ(marker.size(), 80);
    EXPECT_TRUE(isoDate.match(marker[1].toString()).hasMatch());
    EXPECT_EQ(marker[3].toString(), QStringLiteral("01/07/2020"));
    EXPECT_EQ(marker[79].toString(), QStringLiteral("37"));
    EXPECT_GT(scalar(app(options, QStringLiteral("pannexe.mdb")),
                     QStringLiteral("select count(*) from ortho where numpat <> 'Insta'"))
                  .toInt(),
              0);
    EXPECT_EQ(scalar(app(options, QStringLiteral("etarification.mdb")),
                     QStringLiteral("select count(*) from REJETS where CODE in ('172', '175')"))
                  .toInt(),
              0);
}

TEST_F(MkInstall, AbbreviationsAndCodesAreUniqueByDefault)
{
    options.codes = 400;
    layOut(options);
    const QString pat = app(options, QStringLiteral("pat.mdb"));
    EXPECT_EQ(scalar(pat, QStringLiteral("select count(*) from nomenclature")).toInt(), 400);
    EXPECT_EQ(scalar(pat, QStringLiteral("select count(distinct upper(ABREVIATION)) from nomenclature")).toInt(), 400);
    EXPECT_EQ(scalar(pat, QStringLiteral("select count(distinct \"code inami\") from nomenclature")).toInt(), 400);
    EXPECT_EQ(scalar(pat, QStringLiteral("select count(*) from nomenclature where ABREVIATION like '%''%' "
                                         "or \"code inami\" like '%''%' or ABREVIATION is null"))
                  .toInt(),
              0);
    EXPECT_EQ(scalar(pat, QStringLiteral("select count(*) from nomenclature where \"code inami\" = '308335.'")).toInt(),
              1);
    // The new codes bring abbreviations of their own: a clean update leaves no duplicate.
    sqlite::Connection db(onMedium(options, QStringLiteral("eattest.mdb")), sqlite::Connection::Mode::ReadOnly);
    db.exec(QStringLiteral("attach '%1' as u").arg(pat));
    sqlite::Statement clash = db.prepare(QStringLiteral(
        "select count(*) from nomen n where n.\"code inami\" not in (select \"code inami\" from u.nomenclature) "
        "and upper(n.ABREVIATION) in (select upper(ABREVIATION) from u.nomenclature)"));
    ASSERT_TRUE(clash.step());
    EXPECT_EQ(clash.column(0).toInt(), 0);
}

TEST_F(MkInstall, DuplicateFaultSharesExactlyOneAbbreviationInAnotherCase)
{
    options.faults = unsigned(Fault::DuplicateAbbreviation);
    layOut(options);
    const QList<QVariantList> shared =
        query(app(options, QStringLiteral("pat.mdb")),
              QStringLiteral(
                  "select ABREVIATION from nomenclature where upper(ABREVIATION) in "
                  "(select upper(ABREVIATION) from nomenclature group by upper(ABREVIATION) having count(*) > 1)"));
    ASSERT_EQ(shared.size(), 2);
    EXPECT_NE(shared[0][0].toString(), shared[1][0].toString());
    EXPECT_EQ(shared[0][0].toString().toUpper(), shared[1][0].toString().toUpper());
}

TEST_F(MkInstall, ReleaseHoldsNewAndChangedCodesInTheSharesAsked)
{
    struct Case
    {
        int newCodes;
        double sharedPercent;
        double changedPercent;
        int expectShared;
        int expectNew;
    };
    const Case cases[] = {
        {-1, -1, 20, 200, 6},  // 97 % by default: every user code and a few new ones
        {-1, 90, 20, 200, 22}, // the benchmarks' share
        {30, -1, 10, 200, 30}, // new codes alone: every user code besides
        {30, 75, 50, 90, 30},  // both: the release dropped the other user codes
    };
    for (const Case& c : cases) {
        QTemporaryDir caseDir;
        Options o = small(caseDir);
        o.codes = 200;
        o.newCodes = c.newCodes;
        o.sharedPercent = c.sharedPercent;
        o.changedPercent = c.changedPercent;
        layOut(o);
        sqlite::Connection db(onMedium(o, QStringLiteral("eattest.mdb")), sqlite::Connection::Mode::ReadOnly);
        db.exec(QStringLiteral("attach '%1' as u").arg(app(o, QStringLiteral("pat.mdb"))));
        auto count = [&db](const QString& sql) {
            sqlite::Statement s = db.prepare(sql);
            s.step();
            return s.column(0).toInt();
        };
        const int total = count(QStringLiteral("select count(*) from nomen"));
        const int shared =
            count(QStringLiteral("select count(*) from nomen n join u.nomenclature m using (\"code inami\")"));
        // Changed: any column that the existing-codes step copies differs.
        const int changed = count(QStringLiteral(
            "select count(*) from nomen n join u.nomenclature m using (\"code inami\") where "
            "n.LIBELLE <> m.LIBELLE or n.HONORAIRE <> m.HONORAIRE or n.REMBOURSEMENT <> m.REMBOURSEMENT or "
            "n.TICKET_MODERATEUR <> m.TICKET_MODERATEUR or n.CATEGORIE <> m.CATEGORIE or "
            "n.HONORAIRE_BIM <> m.HONORAIRE_BIM or n.REMBOURSEMENT_BIM <> m.REMBOURSEMENT_BIM or "
            "n.TICKET_BIM <> m.TICKET_BIM or n.AGE_MIN is not m.AGE_MIN or n.AGE_MAX is not m.AGE_MAX or "
            "n.DENTS is not m.DENTS or n.LETTRE_CLE is not m.LETTRE_CLE or n.DATE_VALIDITE <> m.DATE_VALIDITE"));
        EXPECT_EQ(shared, c.expectShared) << c.newCodes << " " << c.sharedPercent;
        EXPECT_EQ(total - shared, c.expectNew) << c.newCodes << " " << c.sharedPercent;
        const double asked = c.sharedPercent < 0 ? 97 : c.sharedPercent;
        if (c.newCodes < 0 || c.sharedPercent >= 0) {
            EXPECT_NEAR(100.0 * shared / total, asked, 100.0 / total) << c.sharedPercent;
        }
        EXPECT_EQ(changed, qRound(shared * c.changedPercent / 100.0)) << c.changedPercent;
        EXPECT_EQ(count(QStringLiteral("select count(*) from nomen where DATE_MAJ <> '2020-07-01 00:00:00'")), 0);
        EXPECT_EQ(count(QStringLiteral("select count(distinct \"code inami\") from nomen")), total);
    }
}

TEST_F(MkInstall, OneSeedGivesTheSameInstallation)
{
    QTemporaryDir other, third;
    Options same = small(other);
    Options reseeded = small(third);
    reseeded.seed = 8;
    layOut(options);
    layOut(same);
    layOut(reseeded);
    for (const char* name : databases) {
        const QString file = QString::fromUtf8(name) + QStringLiteral(".mdb");
        EXPECT_EQ(dump(app(options, file)), dump(app(same, file))) << name;
    }
    EXPECT_EQ(dump(onMedium(options, QStringLiteral("eattest.mdb"))),
              dump(onMedium(same, QStringLiteral("eattest.mdb"))));
    EXPECT_EQ(contents(onMedium(options, QStringLiteral("DPSI_P1.jpg"))),
              contents(onMedium(same, QStringLiteral("DPSI_P1.jpg"))));
    EXPECT_NE(dump(app(options, QStringLiteral("pat.mdb"))), dump(app(reseeded, QStringLiteral("pat.mdb"))));
    EXPECT_NE(dump(onMedium(options, QStringLiteral("eattest.mdb"))),
              dump(onMedium(reseeded, QStringLiteral("eattest.mdb"))));
    // The pure generator agrees with the files.
    EXPECT_EQ(
        makeNomenclature(options).release.size(),
        scalar(onMedium(options, QStringLiteral("eattest.mdb")), QStringLiteral("select count(*) from nomen")).toInt());
}

TEST_F(MkInstall, ClientWorkstationIsMarkedInTheSettings)
{
    options.client = true;
    layOut(options);
    EXPECT_EQ(scalar(app(options, QStringLiteral("parametres.mdb")), QStringLiteral("select STATION from parapat"))
                  .toString(),
              QStringLiteral("CLIENT"));
    EXPECT_EQ(
        scalar(app(options, QStringLiteral("parametres.mdb")), QStringLiteral("select count(*) from parapat")).toInt(),
        1);
}

TEST_F(MkInstall, FaultsBreakExactlyWhatTheyName)
{
    struct Case
    {
        const char* name;
        std::function<void(Options&)> set;
        std::function<void(const Options&)> check;
    };
    const QString userCodes = QStringLiteral("select ABREVIATION, \"code inami\" from nomenclature");
    const Case cases[] = {
        {"missing-eattest", [](Options& o) { o.faults = unsigned(Fault::MissingEattest); },
         [](const Options& o) {
             EXPECT_FALSE(QFileInfo::exists(onMedium(o, QStringLiteral("eattest.mdb"))));
             EXPECT_TRUE(QFileInfo::exists(onMedium(o, QStringLiteral("aide.htm"))));
             EXPECT_TRUE(QFileInfo::exists(app(o, QStringLiteral("eattest.mdb"))));
         }},
        {"missing-help", [](Options& o) { o.faults = unsigned(Fault::MissingHelp); },
         [](const Options& o) {
             EXPECT_FALSE(QFileInfo::exists(app(o, QStringLiteral("aide/aide.htm"))));
             EXPECT_TRUE(QFileInfo(app(o, QStringLiteral("aide"))).isDir());
             EXPECT_TRUE(QFileInfo::exists(onMedium(o, QStringLiteral("aide.htm"))));
         }},
        {"apostrophe", [](Options& o) { o.faults = unsigned(Fault::Apostrophe); },
         [&userCodes](const Options& o) {
             int quoted = 0;
             QString code;
             for (const QVariantList& row : query(app(o, QStringLiteral("pat.mdb")), userCodes)) {
                 if (row[0].toString().contains(QLatin1Char('\'')) || row[1].toString().contains(QLatin1Char('\''))) {
                     ++quoted;
                     EXPECT_TRUE(row[0].toString().contains(QLatin1Char('\'')));
                     EXPECT_TRUE(row[1].toString().contains(QLatin1Char('\'')));
                     code = row[1].toString();
                 }
             }
             EXPECT_EQ(quoted, 1);
             // The release lists it too, so the steps that search the release's codes meet it.
             int inRelease = 0;
             for (const QVariantList& row :
                  query(onMedium(o, QStringLiteral("eattest.mdb")), QStringLiteral("select \"code inami\" from nomen")))
                 inRelease += row[0].toString() == code;
             EXPECT_EQ(inRelease, 1);
             EXPECT_EQ(scalar(app(o, QStringLiteral("pat.mdb")),
                              QStringLiteral("select count(*) from soins where \"code inami\" like '%''%'"))
                           .toInt(),
                       0);
         }},
        {"null-abbreviation", [](Options& o) { o.faults = unsigned(Fault::NullAbbreviation); },
         [](const Options& o) {
             EXPECT_EQ(scalar(app(o, QStringLiteral("pat.mdb")),
                              QStringLiteral("select count(*) from nomenclature where ABREVIATION is null"))
                           .toInt(),
                       1);
             EXPECT_EQ(scalar(onMedium(o, QStringLiteral("eattest.mdb")),
                              QStringLiteral("select count(*) from nomen where ABREVIATION is null"))
                           .toInt(),
                       0);
         }},
        {"saved-exe", [](Options& o) { o.savedExe = true; },
         [](const Options& o) {
             const QString saved = QDir(o.drive).filePath(QStringLiteral("MAJJAN2021/praxidome.exe"));
             ASSERT_TRUE(QFileInfo::exists(saved));
             EXPECT_EQ(contents(saved), contents(app(o, QStringLiteral("praxidome.exe"))));
         }},
        {"no-insta", [](Options& o) { o.instaMarker = false; },
         [](const Options& o) {
             EXPECT_EQ(scalar(app(o, QStringLiteral("pannexe.mdb")),
                              QStringLiteral("select count(*) from ortho where numpat = 'Insta'"))
                           .toInt(),
                       0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir caseDir;
        Options o = small(caseDir);
        c.set(o);
        layOut(o);
        c.check(o);
    }
}

TEST_F(MkInstall, RefusesANonEmptyFolderUnlessForced)
{
    const QString stray = QDir(options.drive).filePath(QStringLiteral("stray.txt"));
    QDir().mkpath(options.drive);
    QFile(stray).open(QIODevice::WriteOnly);
    EXPECT_THROW(layOut(options), SampleError);
    EXPECT_TRUE(QFileInfo::exists(stray));
    EXPECT_FALSE(QFileInfo::exists(app(options, QStringLiteral("pat.mdb"))));

    options.force = true;
    layOut(options);
    EXPECT_FALSE(QFileInfo::exists(stray));
    // A second forced run rebuilds the same installation rather than adding to it.
    const QStringList first = dump(app(options, QStringLiteral("pat.mdb")));
    layOut(options);
    EXPECT_EQ(dump(app(options, QStringLiteral("pat.mdb"))), first);

    Options nested = options;
    nested.medium = QDir(options.drive).filePath(QStringLiteral("medium"));
    EXPECT_THROW(layOut(nested), SampleError);
}

TEST_F(MkInstall, EveryTextFitsTheSizeItsColumnDeclares)
{
    // The steps copy these values through the engine, which refuses text longer than the column (3163).
    options.faults = unsigned(Fault::Apostrophe) | unsigned(Fault::DuplicateAbbreviation);
    layOut(options);
    const QRegularExpression sized(QStringLiteral("^TEXT\\((\\d+)\\)$"), QRegularExpression::CaseInsensitiveOption);
    QStringList files{onMedium(options, QStringLiteral("eattest.mdb"))};
    for (const char* name : databases)
        files.append(app(options, QString::fromUtf8(name) + QStringLiteral(".mdb")));
    int checked = 0;
    for (const QString& file : files) {
        for (const QString& table : tables(file)) {
            for (const QVariantList& column : query(file, QStringLiteral("PRAGMA table_info(\"%1\")").arg(table))) {
                const QRegularExpressionMatch match = sized.match(column[2].toString());
                if (!match.hasMatch())
                    continue;
                const QString name = column[1].toString();
                const int longest =
                    scalar(file, QStringLiteral("select coalesce(max(length(\"%1\")), 0) from \"%2\"").arg(name, table))
                        .toInt();
                EXPECT_LE(longest, match.captured(1).toInt())
                    << qPrintable(file) << " " << qPrintable(table) << "." << qPrintable(name);
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 100);
}

TEST_F(MkInstall, ReadsThroughTheEngineAsTheStepsDo)
{
    maj::test::TempDrive drive;
    options.drive = drive.host();
    layOut(options);

    DataSource data7(QStringLiteral("Data7"));
    data7.bind(QStringLiteral("C:\\praxidome\\PARAMETRES.MDB"), QStringLiteral("parapat"));
    EXPECT_EQ(data7.recordset().field(15).toString(), QStringLiteral("Cabinet dentaire Dupont & Fils"));
    EXPECT_EQ(data7.recordset().field(20).toLongLong(), 3);
    EXPECT_EQ(data7.recordset().field(61).toString(), QStringLiteral("37"));
    EXPECT_TRUE(data7.recordset().field(48).toDateTime().isValid());

    DataSource data1(QStringLiteral("Data1"));
    data1.bind(QStringLiteral("c:\\praxidome\\pat.mdb"), QStringLiteral("nomenclature"));
    data1.recordset().findFirst(QStringLiteral("[code inami] = '308335.'"));
    ASSERT_FALSE(data1.recordset().noMatch());
    EXPECT_EQ(data1.recordset().field(0).toString(), QStringLiteral("EXTR1"));
    EXPECT_EQ(data1.recordset().field(19).toDateTime(), QDateTime(QDate(2020, 7, 1), QTime(0, 0)));
    EXPECT_EQ(data1.recordset().field(3).typeId(), QMetaType::Double);

    DataSource data3(QStringLiteral("Data3"));
    data3.bind(
        QStringLiteral("c:\\praxidome\\pat.mdb"),
        QStringLiteral("select numdentiste from soins where year(date) = %1 group by numdentiste").arg(today.year()));
    data3.recordset().moveLast();
    EXPECT_GE(data3.recordset().recordCount(), 2);

    DataSource data4(QStringLiteral("Data4"));
    data4.bind(QStringLiteral("c:\\praxidome\\pannexe.mdb"), QStringLiteral("ortho"));
    data4.recordset().findFirst(QStringLiteral("numpat = 'Insta'"));
    ASSERT_FALSE(data4.recordset().noMatch());
    EXPECT_EQ(data4.recordset().field(1).toDateTime().date(),
              QFileInfo(app(options, QStringLiteral("st6unst.log"))).lastModified().date());
    EXPECT_EQ(data4.recordset().field(79).toString(), QStringLiteral("37"));
    data1.release();
    data3.release();
    data4.release();
    data7.release();
}

TEST(MkInstallCommandLine, ReadsTheOptionsAndRefusesBadValues)
{
    bool help = true;
    const Options o = parseArguments({"maj-mkinstall",
                                      "--drive",
                                      "/tmp/d",
                                      "--medium",
                                      "/tmp/m",
                                      "--codes",
                                      "500",
                                      "--new-codes",
                                      "12",
                                      "--shared-percent",
                                      "90",
                                      "--patients",
                                      "20",
                                      "--treatments",
                                      "1000000",
                                      "--years",
                                      "2",
                                      "--client",
                                      "--seed",
                                      "42",
                                      "--fault",
                                      "apostrophe",
                                      "--fault",
                                      "missing-help",
                                      "--saved-exe",
                                      "--today",
                                      "2026-03-05",
                                      "--force"},
                                     &help);
    EXPECT_FALSE(help);
    EXPECT_EQ(o.drive, QStringLiteral("/tmp/d"));
    EXPECT_EQ(o.medium, QStringLiteral("/tmp/m"));
    EXPECT_EQ(o.codes, 500);
    EXPECT_EQ(o.newCodes, 12);
    EXPECT_EQ(o.sharedPercent, 90);
    EXPECT_EQ(o.patients, 20);
    EXPECT_EQ(o.treatments, 1000000);
    EXPECT_EQ(o.years, 2);
    EXPECT_TRUE(o.client);
    EXPECT_EQ(o.seed, 42u);
    EXPECT_EQ(o.faults, unsigned(Fault::Apostrophe) | unsigned(Fault::MissingHelp));
    EXPECT_TRUE(o.savedExe);
    EXPECT_TRUE(o.force);
    EXPECT_EQ(o.today, QDate(2026, 3, 5));

    parseArguments({"maj-mkinstall", "--help"}, &help);
    EXPECT_TRUE(help);
    EXPECT_TRUE(usage().contains(QStringLiteral("--shared-percent")));

    const QStringList bad[] = {
        {"maj-mkinstall"},
        {"maj-mkinstall", "--drive", "/tmp/d", "--codes", "-3"},
        {"maj-mkinstall", "--drive", "/tmp/d", "--codes", "many"},
        {"maj-mkinstall", "--drive", "/tmp/d", "--shared-percent", "120"},
        {"maj-mkinstall", "--drive", "/tmp/d", "--today", "2026-13-01"},
        {"maj-mkinstall", "--drive", "/tmp/d", "--fault", "no-such-fault"},
        {"maj-mkinstall", "--drive", "/tmp/d", "--fault", "app-running"},
        {"maj-mkinstall", "--drive", "/tmp/d", "--unknown"},
        {"maj-mkinstall", "--drive", "/tmp/d", "extra"},
    };
    for (const QStringList& arguments : bad)
        EXPECT_THROW(parseArguments(arguments), SampleError) << qPrintable(arguments.join(QLatin1Char(' ')));
}

} // namespace
