#include "Sample.h"
#include "TestSupport.h"
#include "platform/jet/Sqlite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace maj;
using namespace maj::sample;
using maj::test::scalar;

namespace {

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
    o.today = QDate(2026, 6, 15);
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

QStringList columnNames(const QString& path, const QString& table)
{
    QStringList names;
    for (const QVariantList& row : query(path, QStringLiteral("PRAGMA table_info(\"%1\")").arg(table)))
        names.append(row[1].toString());
    return names;
}

// Every row of every table of a database file, as text, in table order.
QStringList dump(const QString& path)
{
    QStringList lines;
    for (const QVariantList& t :
         query(path, QStringLiteral("select name from sqlite_master where type = 'table' order by name"))) {
        const QString table = t[0].toString();
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

TEST_F(MkInstall, LaysOutEveryFileAndTheFieldPositionsTheProgramReliesOn)
{
    layOut(options);
    const char* const installed[] = {"praxidome.exe",
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
    for (const char* name : installed)
        EXPECT_TRUE(QFileInfo(app(options, QString::fromUtf8(name))).isFile()) << name;
    for (const char* folder : {"FORMULAIRES", "mails", "MAJ", "ASSURABILITY/P12/PRD"})
        EXPECT_TRUE(QFileInfo(app(options, QString::fromUtf8(folder))).isDir()) << folder;
    const char* const medium[] = {"eattest.mdb",
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
    for (const char* name : medium)
        EXPECT_TRUE(QFileInfo(onMedium(options, QString::fromUtf8(name))).isFile()) << name;

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
}

TEST_F(MkInstall, ClientWorkstationIsMarkedInTheSettings)
{
    options.client = true;
    layOut(options);
    const QString settings = app(options, QStringLiteral("parametres.mdb"));
    EXPECT_EQ(scalar(settings, QStringLiteral("select STATION from parapat")).toString(), QStringLiteral("CLIENT"));
    EXPECT_EQ(scalar(settings, QStringLiteral("select count(*) from parapat")).toInt(), 1);
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
}

} // namespace
