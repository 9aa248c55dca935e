#include "EngineTest.h"
#include "platform/MajError.h"
#include "platform/jet/Database.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

using namespace maj;
using maj::test::errorOf;

namespace {

const char* kSchema = R"(
CREATE TABLE codes ("ABREVIATION" TEXT(20), "code inami" TEXT(15), "LIBELLE" TEXT(255), "HONORAIRE" DOUBLE,
                    "AGE" INTEGER, "FAVORI" YESNO DEFAULT 0, "DATE_MAJ" DATETIME, "NOTE" LONGTEXT, "PETIT" SHORT);
INSERT INTO codes VALUES ('ECLAT', '308335.', 'carie', 12.5, 10, 1, '2020-02-03 00:00:00', NULL, 1);
INSERT INTO codes VALUES ('éclat', '308335', 'Couronne', 20, 40, 0, NULL, 'n', 2);
INSERT INTO codes VALUES ('O''Brien', '307274.', 'détartrage', NULL, 35, 0, NULL, NULL, 3);
INSERT INTO codes VALUES (NULL, '305653,', 'Détartrage', 7, 50, 0, NULL, NULL, 4);
INSERT INTO codes VALUES ('Eclat', '305616,', 'couronne', 8, 60, 0, NULL, NULL, 5);
CREATE TABLE cles ("NUM" TEXT(5) PRIMARY KEY, "V" INTEGER NOT NULL);
INSERT INTO cles VALUES ('A', 1);
)";

struct DatabaseRecordsetTest : test::EngineTest
{
    DataSource data{engine, "Data1"};

    void SetUp() override { create(QString::fromUtf8(kSchema)); }
};

TEST_F(DatabaseRecordsetTest, ReleaseOrRefreshWithoutDatabaseOrRecordSourceLeavesNoRecordset)
{
    bind(data, "codes");
    EXPECT_EQ(errorOf([&] { data.bind({}, "codes"); }), 0); // a release
    EXPECT_FALSE(data.isOpen());
    EXPECT_EQ(errorOf([&] { data.bind(file, {}); }), 0);
    EXPECT_EQ(errorOf([&] { data.recordset(); }), err::ObjectNotSet);
}

TEST_F(DatabaseRecordsetTest, FindFirstComparesTextAsTheOldEngineAndRefusesMalformedCriteria)
{
    // The criterion, the code inami of the record found (nullptr: no match).
    const std::pair<const char*, const char*> cases[] = {
        {"ABREVIATION = 'eclat'", "308335."},    // letter case ignored
        {"ABREVIATION = 'ÉCLAT'", "308335"},     // also for accented letters
        {"abreviation = 'Éclat'", "308335"},     // names too
        {"[code inami] = '308335.'", "308335."}, // the whole value
        {"[code inami] = '308335'", "308335"},   //
        {"[code inami] = '308335,'", nullptr},   //
        {"ABREVIATION = 'O''Brien'", "307274."}, // a doubled quote is one quote
        {"ABREVIATION Is Null", "305653,"},      //
        {"LIBELLE = 'DETARTRAGE'", nullptr},     // accents count
        {"LIBELLE = 'DÉTARTRAGE'", "307274."},   //
        {"AGE > 36", "308335"},                  // not an equality: SQL
        {"AGE >= 50 And LIBELLE = 'COURONNE'", "305616,"},
        {"DATE_MAJ = #02/03/2020#", "308335."}, // month/day/year
        {"FAVORI = True", "308335."},           //
        {"ABREVIATION & [code inami] = 'Eclat305616,'", "305616,"},
    };
    Recordset& rs = bind(data, "codes");
    for (const auto& [criterion, expected] : cases) {
        rs.moveLast();
        rs.findFirst(QString::fromUtf8(criterion));
        EXPECT_EQ(rs.noMatch() ? "no match" : rs.field(1).toString(),
                  QString::fromUtf8(expected ? expected : "no match"))
            << criterion;
    }
    // A move does not change the outcome of the last search.
    rs.findFirst("LIBELLE = 'absent'");
    rs.moveFirst();
    EXPECT_TRUE(rs.noMatch());
    // Malformed criteria are 3077, and run nothing.
    for (const char* criterion : {"ABREVIATION = 'O'Brien'", "ABREVIATION = ", "((AGE > 1)", "AGE > 1)",
                                  "[code inami = '1'", "AGE = 1; DELETE FROM codes", ""}) {
        EXPECT_EQ(errorOf([&] { rs.findFirst(QString::fromUtf8(criterion)); }), err::ExpressionSyntax) << criterion;
    }
    EXPECT_EQ(stored("SELECT count(*) FROM codes").toInt(), 5);
}

TEST_F(DatabaseRecordsetTest, FieldsByPositionAndByNameInTheColumnsKind)
{
    Recordset& rs = bind(data, "codes");
    EXPECT_EQ(rs.field("CODE INAMI").toString(), "308335.");
    rs.edit();
    for (const auto& call : std::vector<std::function<void()>>{
             [&] { rs.field(9); }, [&] { rs.field(-1); }, [&] { rs.field("code_inami"); }, [&] { rs.setField(9, 1); }})
        EXPECT_EQ(errorOf(call), err::ItemNotFound);
    rs.cancelUpdate();
    for (const auto& [position, type] :
         {std::pair{3, QMetaType::Double}, {4, QMetaType::LongLong}, {5, QMetaType::Bool}})
        EXPECT_EQ(rs.field(position).typeId(), type) << position;

    Recordset& query = bind(data, "select [code inami], FAVORI, DATE_MAJ as quand from codes");
    EXPECT_EQ(query.field(1).typeId(), QMetaType::Bool);
    EXPECT_EQ(query.field("QUAND").toDateTime().date(), QDate(2020, 2, 3));
    EXPECT_EQ(errorOf([&] { query.field(3); }), err::ItemNotFound);
}

TEST_F(DatabaseRecordsetTest, WritingConvertsToTheDeclaredType)
{
    // The column, the value written, as read back, as SQLite holds it.
    const std::tuple<const char*, QVariant, QVariant, QVariant> cases[] = {
        {"DATE_MAJ", "5/03/26", QDateTime(QDate(2026, 3, 5), QTime(0, 0)), "2026-03-05 00:00:00"},
        {"DATE_MAJ", "31/12/99", QDateTime(QDate(1999, 12, 31), QTime(0, 0)), "1999-12-31 00:00:00"},
        {"DATE_MAJ", "15/06/2021 14:30", QDateTime(QDate(2021, 6, 15), QTime(14, 30)), "2021-06-15 14:30:00"},
        {"DATE_MAJ", QDate(2021, 2, 28), QDateTime(QDate(2021, 2, 28), QTime(0, 0)), "2021-02-28 00:00:00"},
        {"HONORAIRE", "12,5", 12.5, 12.5},
        {"HONORAIRE", qlonglong(7), 7.0, 7.0},
        {"AGE", "42", qlonglong(42), qlonglong(42)},
        {"AGE", 2.5, qlonglong(2), qlonglong(2)},
        {"AGE", 3.5, qlonglong(4), qlonglong(4)},
        {"AGE", true, qlonglong(-1), qlonglong(-1)},
        {"FAVORI", true, true, qlonglong(1)},
        {"FAVORI", "Faux", false, qlonglong(0)},
        {"FAVORI", qlonglong(-1), true, qlonglong(1)},
        {"LIBELLE", qlonglong(12), "12", "12"},
        {"LIBELLE", 2.5, "2,5", "2,5"},
        {"code inami", "123456789012345", "123456789012345", "123456789012345"},
        {"AGE", QVariant(), QVariant(), QVariant()},
    };
    Recordset& rs = bind(data, "codes");
    for (const auto& [name, written, read, held] : cases) {
        const QString column = QString::fromUtf8(name);
        SCOPED_TRACE((column + " " + written.toString()).toStdString());
        rs.moveFirst();
        rs.edit();
        rs.setField(column, written);
        EXPECT_EQ(rs.field(column), read) << "pending";
        rs.update();
        EXPECT_EQ(rs.field(column), read);
        engine.commit();
        const QVariant s = stored(QStringLiteral("SELECT \"%1\" FROM codes WHERE rowid = 1").arg(column));
        EXPECT_EQ(s, held);
        EXPECT_EQ(s.typeId(), held.typeId());
    }
}

TEST_F(DatabaseRecordsetTest, ValuesTheColumnCannotHoldAndRowsTheKeysRefuseAreNotWritten)
{
    const std::tuple<const char*, QVariant, int> cases[] = {
        {"AGE", "abc", err::ConversionError},
        {"HONORAIRE", "douze", err::ConversionError},
        {"PETIT", qlonglong(40000), err::ConversionError},
        {"DATE_MAJ", "32/01/2021", err::ConversionError},
        {"DATE_MAJ", "demain", err::ConversionError},
        {"FAVORI", "peut-être", err::ConversionError},
        {"code inami", "1234567890123456", err::FieldTooSmall},
        {"ABREVIATION", QString(21, QLatin1Char('x')), err::FieldTooSmall},
    };
    Recordset& rs = bind(data, "codes");
    for (const auto& [column, written, error] : cases) {
        rs.moveFirst();
        rs.edit();
        EXPECT_EQ(errorOf([&] { rs.setField(QString::fromUtf8(column), written); }), error) << column;
        rs.update();
    }
    EXPECT_EQ(stored("SELECT AGE || '/' || \"code inami\" || '/' || DATE_MAJ FROM codes WHERE rowid = 1").toString(),
              "10/308335./2020-02-03 00:00:00");

    // Rows the table's own constraints refuse at the update, and nothing of them written.
    const std::tuple<QVariant, QVariant, int> rows[] = {
        {"A", 2, err::DuplicateKey}, // the primary key, not only a unique index
        {"B", QVariant(), err::NullNotAllowed},
    };
    Recordset& keys = bind(data, "cles");
    for (const auto& [key, value, error] : rows) {
        keys.addNew();
        keys.setField(0, key);
        keys.setField(1, value);
        EXPECT_EQ(errorOf([&] { keys.update(); }), error) << key.toString().toStdString();
        keys.cancelUpdate();
    }
    engine.commit();
    EXPECT_EQ(stored("SELECT group_concat(NUM || V) FROM cles").toString(), "A1");
}

// A walk that deletes rows on its way, the last one too, still visits each row once.
TEST_F(DatabaseRecordsetTest, AWalkThatDeletesVisitsEveryRowOnce)
{
    Recordset& rs = bind(data, "codes");
    QStringList seen;
    for (rs.moveFirst(); !rs.isEof(); rs.moveNext()) {
        seen.append(rs.field("PETIT").toString());
        if (rs.field("AGE").toInt() != 50)
            rs.deleteCurrent();
    }
    EXPECT_EQ(seen.join(','), "1,2,3,4,5");
    engine.commit();
    EXPECT_EQ(stored("SELECT group_concat(PETIT) FROM codes").toString(), "4");
}

TEST_F(DatabaseRecordsetTest, PendingChangesNeedAnEditAreDroppedByMovesAndQueriesTakeNone)
{
    Recordset& rs = bind(data, "codes");
    EXPECT_EQ(errorOf([&] { rs.setField(0, "X"); }), err::NoAddOrEdit);
    EXPECT_EQ(errorOf([&] { rs.update(); }), err::NoAddOrEdit);

    // A pending edit dropped by moves, then by cancelUpdate().
    for (const bool move : {true, false}) {
        rs.edit();
        rs.setField(0, "CHANGE");
        move ? (rs.moveNext(), rs.moveFirst()) : rs.cancelUpdate();
        EXPECT_EQ(rs.field(0).toString(), "ECLAT") << move;
    }

    rs.addNew();
    rs.setField(1, "1");
    rs.addNew();                             // a second start drops the first
    EXPECT_EQ(rs.field(5), QVariant(false)); // a new row holds the declared defaults
    EXPECT_FALSE(rs.field(1).isValid());
    rs.setField(1, "2");
    rs.update();
    engine.commit();
    EXPECT_EQ(stored("SELECT group_concat(\"code inami\") FROM codes WHERE rowid > 5").toString(), "2");

    rs.moveFirst();
    test::change(rs, QStringLiteral("libelle"), "changé");
    EXPECT_EQ(rs.field(2).toString(), "changé");
    EXPECT_EQ(rs.field(0).toString(), "ECLAT");

    // Queries are read-only, a probe served from a look-up too.
    for (const char* source : {"select * from codes", "select * from codes where ABREVIATION = 'ECLAT'"}) {
        Recordset& query = bind(data, source);
        EXPECT_FALSE(query.isUpdatable());
        for (const auto& call :
             std::vector<std::function<void()>>{[&] { query.addNew(); }, [&] { query.edit(); },
                                                [&] { query.deleteCurrent(); }, [&] { query.setField(0, 1); }})
            EXPECT_EQ(errorOf(call), err::ReadOnly) << source;
    }
}

} // namespace
