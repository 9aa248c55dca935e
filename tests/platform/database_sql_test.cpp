#include "EngineTest.h"
#include "platform/MajError.h"
#include "platform/jet/Database.h"
#include "platform/jet/JetSql.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace maj;
using maj::test::errorOf;

namespace {

const char* kSchema = R"(
CREATE TABLE nomenclature ("ABREVIATION" TEXT(20), "code inami" TEXT(15), "LIBELLE" TEXT(255));
INSERT INTO nomenclature VALUES ('CAR', '308335.', 'carie'), ('car', '308335', 'Carie profonde'),
                                ('DET', '307274.', 'détartrage'), ('Dét', '305653,', 'Détartrage');
CREATE TABLE soins (numsoin INTEGER, numdentiste INTEGER, "date" DATETIME);
INSERT INTO soins VALUES (1, 1, '2026-01-05 00:00:00'), (2, 2, '2026-03-01 10:00:00'), (3, 1, '2026-12-31 00:00:00'),
                         (4, 3, '2025-06-01 00:00:00'), (5, 7, '2025-02-01 00:00:00'), (6, 3, NULL);
CREATE TABLE Attestationsdifferees (NUMATTEST INTEGER, NOM TEXT(50), ADRESSE TEXT(30), VILLE TEXT(20) DEFAULT 'Liège');
CREATE UNIQUE INDEX attestations_num ON Attestationsdifferees(NUMATTEST);
CREATE INDEX attestations_adresse ON Attestationsdifferees(ADRESSE);
CREATE TRIGGER attestations_nom AFTER INSERT ON Attestationsdifferees BEGIN SELECT 1; END;
CREATE VIEW attestations_vue AS SELECT NOM, ADRESSE FROM Attestationsdifferees;
CREATE TRIGGER soins_attestation AFTER INSERT ON soins BEGIN INSERT INTO Attestationsdifferees (NOM) VALUES ('Soin'); END;
INSERT INTO Attestationsdifferees VALUES (1, 'Dupont', 'rue Haute 1', 'Namur'), (2, 'Martin', 'rue Basse 22', NULL),
                                         (3, 'Lefèvre', NULL, 'Liège');
DELETE FROM Attestationsdifferees WHERE NUMATTEST = 1;
INSERT INTO Attestationsdifferees VALUES (1, 'Dupont', 'rue Haute 1', 'Namur');
)";

struct DatabaseSqlTest : test::EngineTest
{
    DataSource data{engine, "Data1"};

    void SetUp() override
    {
        // A table of 60 columns, like the patients table the yes/no column goes into.
        QStringList columns;
        for (int i = 0; i < 60; ++i)
            columns.append(QStringLiteral("C%1 TEXT(10)").arg(i));
        create(QString::fromUtf8(kSchema) +
               QStringLiteral("CREATE TABLE patients (%1); INSERT INTO patients (C0, C51) VALUES ('a', 'x51'), "
                              "('b', NULL); CREATE UNIQUE INDEX patients_c0 ON patients(C0);")
                   .arg(columns.join(QLatin1Char(','))));
    }
};

TEST_F(DatabaseSqlTest, QueriesRunAsTheCallersWriteThem)
{
    const std::pair<const char*, QStringList> cases[] = {
        {"select [code inami], LIBELLE from nomenclature where [code inami] = '308335.'", {"308335.|carie"}},
        {"select numdentiste from soins where year(date) = 2026 group by numdentiste", {"1", "2"}},
        {"SELECT ABREVIATION FROM nomenclature WHERE LIBELLE = 'CARIE';", {"CAR"}},
        {"select ABREVIATION from nomenclature where LIBELLE = 'DETARTRAGE'", {}},
        {"select ABREVIATION from nomenclature where LIBELLE = 'DÉTARTRAGE'", {"DET", "Dét"}},
        {"select ABREVIATION from nomenclature where ABREVIATION in ('car', 'DÉT')", {"CAR", "car", "Dét"}},
        {"select count(*) from nomenclature group by ABREVIATION", {"2", "1", "1"}},
        {"select LIBELLE from nomenclature where LIBELLE = \"Carie profonde\"", {"Carie profonde"}},
        {"select 'l''abréviation ' & ABREVIATION from nomenclature where [code inami] = '308335'",
         {"l'abréviation car"}},
        {"select numsoin from soins where date = #03/01/2026 10:00:00#", {"2"}},
        {"select numsoin from soins where numsoin Mod 2 = 0 and date Is Not Null", {"2", "4"}},
        {"select year('2026-03-05 14:02:31'), year('2026-03-05'), year('5/03/2026'), year(NULL)", {"2026|2026|2026|"}},
    };
    for (const auto& [query, expected] : cases)
        EXPECT_EQ(rows(data, QString::fromUtf8(query)), expected) << query;
}

TEST_F(DatabaseSqlTest, FailuresCarryTheOldEngineNumbers)
{
    const std::tuple<const char*, const char*, int> cases[] = {
        {"c:\\praxidome\\pat.mdb", "select * from nomenclature where", err::QuerySyntax},
        {"c:\\praxidome\\pat.mdb", "select * from nomenclature where ABREVIATION = 'O'Brien'", err::QuerySyntax},
        {"c:\\praxidome\\pat.mdb", "select * from nomenclature; delete from nomenclature", err::QuerySyntax},
        {"c:\\praxidome\\pat.mdb", "select * from nomenclature where (ABREVIATION = 'x'", err::QuerySyntax},
        {"c:\\praxidome\\pat.mdb", "select nope from nomenclature", err::TooFewParameters},
        {"c:\\praxidome\\pat.mdb", "select * from nomenclature where [code  inami] = '1'", err::TooFewParameters},
        {"c:\\praxidome\\pat.mdb", "select * from absente", err::TableNotFound},
        {"c:\\praxidome\\pat.mdb", "absente", err::TableNotFound},
        {"c:\\praxidome\\eattest.mdb", "nomen", err::DatabaseNotFound},
        {"c:\\ailleurs\\eattest.mdb", "nomen", err::NotAValidPath},
        {"c:\\praxidome\\pasunebase.mdb", "nomen", err::UnrecognizedFormat},
    };
    drive.write("praxidome/pasunebase.mdb", QByteArray(4096, 'x'));
    for (const auto& [path, source, error] : cases) {
        EXPECT_EQ(errorOf([&] { data.bind(QString::fromUtf8(path), QString::fromUtf8(source)); }), error) << source;
        EXPECT_FALSE(data.isOpen()) << source;
    }
    EXPECT_EQ(stored("SELECT count(*) FROM nomenclature").toInt(), 4);
}

// What the widening steps do not look at: the rebuilt table keeps its rows in their order, its
// indexes, triggers, views and defaults, and another table's trigger still writes into it.
TEST_F(DatabaseSqlTest, AlterColumnKeepsEveryRowIndexTriggerViewAndDefault)
{
    const QString everything = "SELECT group_concat(rowid || NUMATTEST || NOM || ifnull(ADRESSE, '-') || "
                               "ifnull(VILLE, '-'), ' ') FROM Attestationsdifferees";
    const QString objects =
        "SELECT group_concat(name || ifnull(dflt_value, ''), ' ') FROM (SELECT name, NULL AS "
        "dflt_value FROM sqlite_master WHERE tbl_name = 'Attestationsdifferees' OR type = 'view' "
        "UNION ALL SELECT name, dflt_value FROM pragma_table_info('Attestationsdifferees') ORDER BY 1)";
    const QVariant rowsBefore = stored(everything);
    const QVariant objectsBefore = stored(objects);
    execute("ALTER TABLE ATTESTATIONSDIFFEREES ALTER COLUMN ADRESSE CHAR(40);");
    EXPECT_EQ(stored(everything), rowsBefore);
    EXPECT_EQ(stored(objects), objectsBefore);
    EXPECT_EQ(stored("SELECT type FROM pragma_table_info('Attestationsdifferees') WHERE name = 'ADRESSE'").toString(),
              "CHAR(40)");
    EXPECT_EQ(stored("PRAGMA integrity_check").toString(), "ok");
    test::exec(host(), "INSERT INTO soins (numsoin) VALUES (9)");
    EXPECT_EQ(stored("SELECT group_concat(NOM) FROM attestations_vue WHERE ADRESSE IS NULL").toString(),
              "Lefèvre,Soin");
}

TEST_F(DatabaseSqlTest, SchemaStatementFailures)
{
    auto db = engine.openDirect(file);
    const std::pair<const char*, int> cases[] = {
        {"ALTER TABLE PATIENTSX ALTER COLUMN ADRESSE CHAR(40);", err::TableNotFound},
        {"ALTER TABLE Attestationsdifferees ALTER COLUMN ADRESSEX CHAR(40);", err::ItemNotFound},
        {"ALTER TABLE Attestationsdifferees ALTER COLUMN;", err::AlterSyntax},
        {"ALTER TABLE Attestationsdifferees ALTER COLUMN NOM CHAR(3);", err::FieldTooSmall},
        {"ALTER TABLE Attestationsdifferees ALTER COLUMN NOM LONG;", err::ConversionError},
        {"ALTER TABLE Attestationsdifferees ADD COLUMN NOM TEXT(5);", err::FieldDefinedTwice},
        {"ALTER TABEL x;", err::QuerySyntax},
    };
    for (const auto& [statement, error] : cases)
        EXPECT_EQ(errorOf([&] { db->execute(QString::fromUtf8(statement)); }), error) << statement;
    db->close();
    db->close();
    EXPECT_EQ(errorOf([&] { db->execute("DROP TABLE soins"); }), err::ObjectNotSet);
    EXPECT_EQ(errorOf([&] { engine.openDirect("c:\\praxidome\\rappels.mdb"); }), err::DatabaseNotFound);
    // A refused rebuild leaves the table as it was, and nothing of the rebuild behind.
    EXPECT_EQ(stored("SELECT group_concat(NOM, ' ') FROM Attestationsdifferees").toString(), "Martin Lefèvre Dupont");
    EXPECT_EQ(stored("SELECT count(*) FROM sqlite_master").toInt(), 10);
}

TEST_F(DatabaseSqlTest, AppendFieldPlacesTheColumnAtItsOrdinalOnce)
{
    DataSource patients(engine, "Data3");
    Recordset& rs = bind(patients, "patients");

    using enum DirectDatabase::FieldType;
    auto db = engine.openDirect(file);
    db->appendField("patients", "TPAUTORISE", YesNo, 51);
    EXPECT_EQ(errorOf([&] { db->appendField("PATIENTS", "tpautorise", YesNo, 51); }), err::FieldDefinedTwice);
    EXPECT_EQ(errorOf([&] { db->appendField("absente", "X", Long, 1); }), err::TableNotFound);
    // At or past the end it is appended there.
    db->appendField("patients", "FIN", Date, 99);
    db->close();

    // The data source already open follows the new definition.
    EXPECT_EQ(rs.fieldCount(), 62);
    EXPECT_EQ(rs.fieldName(51), "TPAUTORISE");
    EXPECT_EQ(rs.field(51), QVariant(false));
    EXPECT_EQ(rs.field(52).toString(), "x51");
    EXPECT_EQ(stored("SELECT cid || ' ' || type FROM pragma_table_info('patients') WHERE name = 'FIN'").toString(),
              "61 DATETIME");
}

// The forms served from a column's look-up; anything else must be left to SQLite, never misread.
TEST(ProbeFormsTest, OnlyTheProbeFormsAreServedFromALookUp)
{
    struct Case
    {
        const char* query;
        bool simple;
        const char* table = "";
        const char* column = "";
        bool isNull = false;
        const char* text = "";
    };
    const Case cases[] = {
        {"select * from nomenclature where ABREVIATION = 'CAR'", true, "nomenclature", "ABREVIATION", false, "CAR"},
        {"  SELECT*FROM [nomenclature] WHERE [code inami]='30''8'  ;  ", true, "nomenclature", "code inami", false,
         "30'8"},
        {"Select * From t Where c = \"a\"\"b\"", true, "t", "c", false, "a\"b"},
        {"select * from t where c = 'x;'", true, "t", "c", false, "x;"},
        {"select * from t where c IS NULL;", true, "t", "c", true, ""},
        {"select * from t where (c = 'x')", false},
        {"select * from t where c = 'x' and d = 'y'", false},
        {"select * from t where c = 'x", false},
        {"select * from t where c = x", false},
        {"select * from t where c is not null", false},
        {"select a from t where c = 'x'", false},
        {"select * from t, u where c = 'x'", false},
        {"select * from where where c = 'x'", false},
        {"select * from t where null = 'x'", false},
        {"select * from t where c = 'x';;", false},
        {"selectx * from t where c = 'x'", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        const auto simple = jet::simpleSelect(QString::fromUtf8(c.query));
        ASSERT_EQ(simple.has_value(), c.simple);
        if (!simple)
            continue;
        EXPECT_EQ(simple->table, QString::fromUtf8(c.table));
        EXPECT_EQ(simple->where.column, QString::fromUtf8(c.column));
        EXPECT_EQ(simple->where.isNull, c.isNull);
        EXPECT_EQ(simple->where.text, QString::fromUtf8(c.text));
    }
    // What follows the column's name in a probe written as the last one up to there.
    const std::pair<const char*, const char*> comparisons[] = {
        {" = 'D''x' ", "D'x"}, {"='y';", "y"},    {" IS NULL", nullptr}, {" is  null ;", nullptr}, {"S = 'y'", "-"},
        {"IS NULL", "-"},      {" = 'ab''", "-"}, {" = 'x' or 1", "-"},  {" = 'x';;", "-"},        {" = x", "-"},
    };
    for (const auto& [tail, text] : comparisons) {
        SCOPED_TRACE(tail);
        const auto comparison = jet::simpleComparison(QString::fromUtf8(tail));
        ASSERT_EQ(comparison.has_value(), !text || QByteArray(text) != "-");
        if (comparison) {
            EXPECT_EQ(comparison->isNull ? "null" : comparison->text, text ? QString::fromUtf8(text) : "null");
        }
    }
    EXPECT_TRUE(jet::simpleCriterion(" ABREVIATION = 'D''x' "));
    EXPECT_FALSE(jet::simpleCriterion("ABREVIATION = 'x';")); // a criterion has no end mark
    EXPECT_FALSE(jet::simpleCriterion("ABREVIATION = 'x' or 1"));

    EXPECT_TRUE(jet::isSelectQuery("  (( SELECT a FROM t) UNION (SELECT b FROM u))"));
    EXPECT_FALSE(jet::isSelectQuery("[select]"));
    EXPECT_FALSE(jet::isSelectQuery("selection"));
}

} // namespace
