#include "TestSupport.h"
#include "platform/MajError.h"
#include "platform/jet/Database.h"
#include "platform/jet/Sqlite.h"

#include <QDateTime>
#include <QDir>

#include <gtest/gtest.h>

#include <functional>

using namespace maj;
using maj::test::errorOf;
using maj::test::TempDrive;

namespace {

const char* kSchema = R"(
CREATE TABLE codes (
    "ABREVIATION" TEXT(20),
    "code inami" TEXT(15),
    "LIBELLE" TEXT(255),
    "HONORAIRE" DOUBLE,
    "AGE" INTEGER,
    "FAVORI" YESNO DEFAULT 0,
    "DATE_MAJ" DATETIME,
    "NOTE" LONGTEXT,
    "PETIT" SHORT
);
INSERT INTO codes VALUES ('ECLAT', '308335.', 'carie', 12.5, 10, 1, '2020-02-03 00:00:00', NULL, 1);
INSERT INTO codes VALUES ('éclat', '308335', 'Couronne', 20, 40, 0, NULL, 'n', 2);
INSERT INTO codes VALUES ('O''Brien', '307274.', 'détartrage', NULL, 35, 0, NULL, NULL, 3);
INSERT INTO codes VALUES (NULL, '305653,', 'Détartrage', 7, 50, 0, NULL, NULL, 4);
INSERT INTO codes VALUES ('Eclat', '305616,', 'couronne', 8, 60, 0, NULL, NULL, 5);
CREATE TABLE vide (a TEXT(10), b INTEGER);
CREATE TABLE rejets (CODE TEXT(10), TEXTE TEXT(255));
CREATE UNIQUE INDEX rejets_code ON rejets(CODE);
INSERT INTO rejets VALUES ('100', 'premier');
CREATE TABLE dentiste (numdentiste INTEGER, NOM TEXT(50));
INSERT INTO dentiste VALUES (1, 'Dupont'), (2, 'Lefèvre'), (3, 'Martin');
)";

struct DatabaseRecordsetTest : ::testing::Test
{
    TempDrive drive;
    const QString file = QStringLiteral("c:\\praxidome\\pat.mdb");
    DataSource data{QStringLiteral("Data1")};

    void SetUp() override
    {
        test::createDatabaseFromSql(drive.host(QStringLiteral("praxidome/pat.mdb")), QString::fromUtf8(kSchema));
    }
    void TearDown() override { data.release(); }

    Recordset& bind(const QString& source)
    {
        data.bind(file, source);
        return data.recordset();
    }

    // A column of the table as SQLite stores it, seen through a connection of its own.
    QVariant stored(const QString& sql)
    {
        sqlite::Connection db(drive.host(QStringLiteral("praxidome/pat.mdb")), sqlite::Connection::Mode::ReadOnly);
        auto s = db.prepare(sql);
        return s.step() ? s.column(0) : QVariant();
    }
};

TEST_F(DatabaseRecordsetTest, BindOpensOnTheFirstRecordInTableOrder)
{
    Recordset& rs = bind(QStringLiteral("codes"));
    EXPECT_FALSE(rs.isBof());
    EXPECT_FALSE(rs.isEof());
    EXPECT_TRUE(rs.isUpdatable());
    EXPECT_EQ(rs.field(0).toString(), QStringLiteral("ECLAT"));
    QStringList order;
    for (; !rs.isEof(); rs.moveNext())
        order.append(rs.field(1).toString());
    EXPECT_EQ(order, (QStringList{"308335.", "308335", "307274.", "305653,", "305616,"}));
    EXPECT_TRUE(rs.isEof());
    EXPECT_EQ(errorOf([&] { rs.moveNext(); }), err::NoCurrentRecord);
    EXPECT_EQ(errorOf([&] { rs.field(0); }), err::NoCurrentRecord);
}

TEST_F(DatabaseRecordsetTest, EmptyRecordsetIsBothEndsAndRefusesMovesAndReads)
{
    Recordset& rs = bind(QStringLiteral("vide"));
    EXPECT_TRUE(rs.isBof());
    EXPECT_TRUE(rs.isEof());
    EXPECT_EQ(rs.recordCount(), 0);
    const std::vector<std::pair<const char*, std::function<void()>>> refused = {
        {"moveFirst", [&] { rs.moveFirst(); }}, {"moveLast", [&] { rs.moveLast(); }},
        {"moveNext", [&] { rs.moveNext(); }},   {"field", [&] { rs.field(0); }},
        {"edit", [&] { rs.edit(); }},           {"delete", [&] { rs.deleteCurrent(); }},
    };
    for (const auto& [name, call] : refused)
        EXPECT_EQ(errorOf(call), err::NoCurrentRecord) << name;
}

TEST_F(DatabaseRecordsetTest, ReleaseTwiceRaisesNothingAndLeavesNoRecordset)
{
    bind(QStringLiteral("codes"));
    data.release();
    data.release();
    EXPECT_FALSE(data.isOpen());
    EXPECT_TRUE(data.databaseName().isEmpty());
    EXPECT_EQ(errorOf([&] { data.recordset(); }), err::ObjectNotSet);

    DataSource never(QStringLiteral("Data5"));
    never.release();
    EXPECT_EQ(errorOf([&] { never.recordset(); }), err::ObjectNotSet);
}

TEST_F(DatabaseRecordsetTest, RefreshWithoutDatabaseReleasesAndWithoutRecordSourceHoldsNoRecordset)
{
    bind(QStringLiteral("codes"));
    data.setDatabaseName({});
    EXPECT_EQ(errorOf([&] { data.refresh(); }), 0);
    EXPECT_FALSE(data.isOpen());

    data.setDatabaseName(file);
    data.setRecordSource({});
    EXPECT_EQ(errorOf([&] { data.refresh(); }), 0);
    EXPECT_FALSE(data.isOpen());
    EXPECT_EQ(errorOf([&] { data.recordset(); }), err::ObjectNotSet);
}

TEST_F(DatabaseRecordsetTest, RecordCountIsWhatWasVisitedUntilTheLastRecord)
{
    Recordset& rs = bind(QStringLiteral("codes"));
    EXPECT_EQ(rs.recordCount(), 1);
    rs.moveNext();
    EXPECT_EQ(rs.recordCount(), 2);
    rs.moveLast();
    EXPECT_EQ(rs.recordCount(), 5);
    rs.moveFirst();
    EXPECT_EQ(rs.recordCount(), 5);
    rs.movePrevious();
    EXPECT_TRUE(rs.isBof());
    EXPECT_EQ(errorOf([&] { rs.movePrevious(); }), err::NoCurrentRecord);

    Recordset& query = bind(QStringLiteral("select AGE from codes where AGE > 30 group by AGE"));
    EXPECT_EQ(query.recordCount(), 1);
    query.moveLast();
    query.moveFirst();
    EXPECT_EQ(query.recordCount(), 4);
}

TEST_F(DatabaseRecordsetTest, FindFirstComparesTextAsTheOldEngine)
{
    struct Case
    {
        const char* criterion;
        const char* expected; // code inami of the record found, nullptr for no match
    };
    const Case cases[] = {
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
    Recordset& rs = bind(QStringLiteral("codes"));
    for (const Case& c : cases) {
        rs.moveLast();
        rs.findFirst(QString::fromUtf8(c.criterion));
        if (c.expected) {
            ASSERT_FALSE(rs.noMatch()) << c.criterion;
            EXPECT_EQ(rs.field(1).toString(), QString::fromUtf8(c.expected)) << c.criterion;
        } else {
            EXPECT_TRUE(rs.noMatch()) << c.criterion;
        }
    }
    // A move does not change the outcome of the last search.
    rs.findFirst(QStringLiteral("LIBELLE = 'absent'"));
    rs.moveFirst();
    EXPECT_TRUE(rs.noMatch());
}

TEST_F(DatabaseRecordsetTest, FindFirstOnAQueryBindsEachRow)
{
    Recordset& rs = bind(QStringLiteral("select * from dentiste"));
    rs.findFirst(QStringLiteral("numdentiste = 3"));
    ASSERT_FALSE(rs.noMatch());
    EXPECT_EQ(rs.field(1).toString(), QStringLiteral("Martin"));
    rs.findFirst(QStringLiteral("NOM = 'LEFÈVRE'"));
    ASSERT_FALSE(rs.noMatch());
    EXPECT_EQ(rs.field(QStringLiteral("NUMDENTISTE")).toLongLong(), 2);
    rs.findFirst(QStringLiteral("numdentiste = 9"));
    EXPECT_TRUE(rs.noMatch());
    EXPECT_EQ(errorOf([&] { rs.findFirst(QStringLiteral("numdentiste = ")); }), err::ExpressionSyntax);
}

TEST_F(DatabaseRecordsetTest, MalformedCriteriaAre3077)
{
    Recordset& rs = bind(QStringLiteral("codes"));
    for (const char* criterion : {"ABREVIATION = 'O'Brien'", "ABREVIATION = ", "((AGE > 1)", "AGE > 1)",
                                  "[code inami = '1'", "AGE = 1; DELETE FROM codes", ""}) {
        EXPECT_EQ(errorOf([&] { rs.findFirst(QString::fromUtf8(criterion)); }), err::ExpressionSyntax) << criterion;
    }
    EXPECT_EQ(stored(QStringLiteral("SELECT count(*) FROM codes")).toInt(), 5);
}

TEST_F(DatabaseRecordsetTest, FieldsByPositionAndByName)
{
    Recordset& rs = bind(QStringLiteral("codes"));
    EXPECT_EQ(rs.fieldCount(), 9);
    EXPECT_EQ(rs.fieldName(1), QStringLiteral("code inami"));
    EXPECT_EQ(rs.field(1), rs.field(QStringLiteral("code inami")));
    EXPECT_EQ(rs.field(QStringLiteral("CODE INAMI")).toString(), QStringLiteral("308335."));
    for (int position : {9, 10, -1})
        EXPECT_EQ(errorOf([&] { rs.field(position); }), err::ItemNotFound) << position;
    EXPECT_EQ(errorOf([&] { rs.fieldName(9); }), err::ItemNotFound);
    EXPECT_EQ(errorOf([&] { rs.field(QStringLiteral("code_inami")); }), err::ItemNotFound);
    rs.edit();
    EXPECT_EQ(errorOf([&] { rs.setField(9, 1); }), err::ItemNotFound);
    rs.cancelUpdate();

    // Values come back in the column's kind.
    EXPECT_EQ(rs.field(3).typeId(), QMetaType::Double);
    EXPECT_EQ(rs.field(4).typeId(), QMetaType::LongLong);
    EXPECT_EQ(rs.field(5).typeId(), QMetaType::Bool);
    EXPECT_EQ(rs.field(5).toBool(), true);
    EXPECT_EQ(rs.field(6).toDateTime(), QDateTime(QDate(2020, 2, 3), QTime(0, 0)));
    EXPECT_FALSE(rs.field(7).isValid());

    Recordset& query = bind(QStringLiteral("select [code inami], FAVORI, DATE_MAJ as quand from codes"));
    EXPECT_EQ(query.fieldName(0), QStringLiteral("code inami"));
    EXPECT_EQ(query.field(1).typeId(), QMetaType::Bool);
    EXPECT_EQ(query.field(QStringLiteral("QUAND")).toDateTime().date(), QDate(2020, 2, 3));
    EXPECT_EQ(errorOf([&] { query.field(3); }), err::ItemNotFound);
}

TEST_F(DatabaseRecordsetTest, WritingConvertsToTheDeclaredType)
{
    struct Case
    {
        const char* column;
        QVariant written;
        QVariant read;
        QVariant stored; // as SQLite holds it
    };
    const Case cases[] = {
        {"DATE_MAJ", QStringLiteral("01/01/2021"), QDateTime(QDate(2021, 1, 1), QTime(0, 0)),
         QStringLiteral("2021-01-01 00:00:00")},
        {"DATE_MAJ", QStringLiteral("5/03/26"), QDateTime(QDate(2026, 3, 5), QTime(0, 0)),
         QStringLiteral("2026-03-05 00:00:00")},
        {"DATE_MAJ", QStringLiteral("31/12/99"), QDateTime(QDate(1999, 12, 31), QTime(0, 0)),
         QStringLiteral("1999-12-31 00:00:00")},
        {"DATE_MAJ", QStringLiteral("15/06/2021 14:30"), QDateTime(QDate(2021, 6, 15), QTime(14, 30)),
         QStringLiteral("2021-06-15 14:30:00")},
        {"DATE_MAJ", QDate(2021, 2, 28), QDateTime(QDate(2021, 2, 28), QTime(0, 0)),
         QStringLiteral("2021-02-28 00:00:00")},
        {"HONORAIRE", QStringLiteral("12,5"), 12.5, 12.5},
        {"HONORAIRE", qlonglong(7), 7.0, 7.0},
        {"AGE", QStringLiteral("42"), qlonglong(42), qlonglong(42)},
        {"AGE", 2.5, qlonglong(2), qlonglong(2)},
        {"AGE", 3.5, qlonglong(4), qlonglong(4)},
        {"AGE", true, qlonglong(-1), qlonglong(-1)},
        {"FAVORI", true, true, qlonglong(1)},
        {"FAVORI", QStringLiteral("Faux"), false, qlonglong(0)},
        {"FAVORI", qlonglong(-1), true, qlonglong(1)},
        {"LIBELLE", qlonglong(12), QStringLiteral("12"), QStringLiteral("12")},
        {"LIBELLE", 2.5, QStringLiteral("2,5"), QStringLiteral("2,5")},
        {"NOTE", QStringLiteral("007"), QStringLiteral("007"), QStringLiteral("007")},
        {"code inami", QStringLiteral("123456789012345"), QStringLiteral("123456789012345"),
         QStringLiteral("123456789012345")},
        {"AGE", QVariant(), QVariant(), QVariant()},
    };
    Recordset& rs = bind(QStringLiteral("codes"));
    for (const Case& c : cases) {
        const QString column = QString::fromUtf8(c.column);
        rs.moveFirst();
        rs.edit();
        rs.setField(column, c.written);
        EXPECT_EQ(rs.field(column), c.read) << c.column << " pending " << c.written.toString().toStdString();
        rs.update();
        EXPECT_EQ(rs.field(column), c.read) << c.column << " " << c.written.toString().toStdString();
        commitPendingWrites();
        const QVariant s = stored(QStringLiteral("SELECT \"%1\" FROM codes WHERE rowid = 1").arg(column));
        EXPECT_EQ(s, c.stored) << c.column << " " << c.written.toString().toStdString();
        EXPECT_EQ(s.typeId(), c.stored.typeId()) << c.column;
    }
}

TEST_F(DatabaseRecordsetTest, ValuesTheColumnCannotHoldAreRefused)
{
    struct Case
    {
        const char* column;
        QVariant written;
        int error;
    };
    const Case cases[] = {
        {"AGE", QStringLiteral("abc"), err::ConversionError},
        {"HONORAIRE", QStringLiteral("douze"), err::ConversionError},
        {"PETIT", qlonglong(40000), err::ConversionError},
        {"DATE_MAJ", QStringLiteral("32/01/2021"), err::ConversionError},
        {"DATE_MAJ", QStringLiteral("demain"), err::ConversionError},
        {"FAVORI", QStringLiteral("peut-être"), err::ConversionError},
        {"code inami", QStringLiteral("1234567890123456"), err::FieldTooSmall},
        {"ABREVIATION", QString(21, QLatin1Char('x')), err::FieldTooSmall},
    };
    Recordset& rs = bind(QStringLiteral("codes"));
    for (const Case& c : cases) {
        rs.moveFirst();
        rs.edit();
        EXPECT_EQ(errorOf([&] { rs.setField(QString::fromUtf8(c.column), c.written); }), c.error) << c.column;
        rs.update();
    }
    EXPECT_EQ(
        stored(QStringLiteral("SELECT AGE || '/' || \"code inami\" || '/' || DATE_MAJ FROM codes WHERE rowid = 1"))
            .toString(),
        QStringLiteral("10/308335./2020-02-03 00:00:00"));
}

TEST_F(DatabaseRecordsetTest, AddNewKeepsTheCurrentRecordAndAppendsAtTheEnd)
{
    Recordset& rs = bind(QStringLiteral("codes"));
    rs.moveNext();
    ASSERT_EQ(rs.field(1).toString(), QStringLiteral("308335"));
    rs.addNew();
    EXPECT_EQ(rs.field(5), QVariant(false)); // the declared default
    EXPECT_FALSE(rs.field(0).isValid());
    rs.setField(0, QStringLiteral("NEUF"));
    rs.setField(1, QStringLiteral("999999."));
    rs.setField(6, QStringLiteral("01/01/2021"));
    rs.update();
    EXPECT_EQ(rs.field(1).toString(), QStringLiteral("308335"));
    EXPECT_EQ(rs.recordCount(), 3);
    rs.moveLast();
    EXPECT_EQ(rs.recordCount(), 6);
    EXPECT_EQ(rs.field(0).toString(), QStringLiteral("NEUF"));
    EXPECT_EQ(rs.field(5), QVariant(false));
    EXPECT_EQ(rs.field(6).toDateTime(), QDateTime(QDate(2021, 1, 1), QTime(0, 0)));
    rs.findFirst(QStringLiteral("[code inami] = '999999.'"));
    EXPECT_FALSE(rs.noMatch());
}

TEST_F(DatabaseRecordsetTest, PendingChangesNeedAnEditAndAreDroppedByMoves)
{
    Recordset& rs = bind(QStringLiteral("codes"));
    EXPECT_EQ(errorOf([&] { rs.setField(0, QStringLiteral("X")); }), 3020);
    EXPECT_EQ(errorOf([&] { rs.update(); }), 3020);

    rs.edit();
    rs.setField(0, QStringLiteral("CHANGE"));
    rs.moveNext();
    rs.moveFirst();
    EXPECT_EQ(rs.field(0).toString(), QStringLiteral("ECLAT"));

    rs.edit();
    rs.setField(0, QStringLiteral("CHANGE"));
    rs.cancelUpdate();
    EXPECT_EQ(rs.field(0).toString(), QStringLiteral("ECLAT"));

    rs.addNew();
    rs.setField(1, QStringLiteral("1"));
    rs.addNew(); // a second start drops the first
    rs.setField(1, QStringLiteral("2"));
    rs.update();
    commitPendingWrites();
    EXPECT_EQ(stored(QStringLiteral("SELECT group_concat(\"code inami\") FROM codes WHERE rowid > 5")).toString(),
              QStringLiteral("2"));

    rs.moveFirst();
    rs.edit();
    rs.setField(QStringLiteral("libelle"), QStringLiteral("changé"));
    rs.update();
    EXPECT_EQ(rs.field(2).toString(), QStringLiteral("changé"));
    EXPECT_EQ(rs.field(0).toString(), QStringLiteral("ECLAT"));
}

TEST_F(DatabaseRecordsetTest, DeleteLeavesNoCurrentRecordUntilTheNextMove)
{
    Recordset& rs = bind(QStringLiteral("codes"));
    rs.moveNext();
    rs.deleteCurrent();
    EXPECT_EQ(errorOf([&] { rs.field(0); }), err::NoCurrentRecord);
    EXPECT_EQ(errorOf([&] { rs.edit(); }), err::NoCurrentRecord);
    rs.moveNext();
    EXPECT_EQ(rs.field(1).toString(), QStringLiteral("307274."));
    rs.findFirst(QStringLiteral("[code inami] = '308335'"));
    EXPECT_TRUE(rs.noMatch());
    rs.moveLast();
    EXPECT_EQ(rs.recordCount(), 4);
    rs.deleteCurrent();
    rs.moveNext();
    EXPECT_TRUE(rs.isEof());
    commitPendingWrites();
    EXPECT_EQ(stored(QStringLiteral("SELECT group_concat(\"code inami\", ' ') FROM codes")).toString(),
              QStringLiteral("308335. 307274. 305653,"));
}

TEST_F(DatabaseRecordsetTest, UniqueIndexViolationIs3022AndWritesNothing)
{
    Recordset& rs = bind(QStringLiteral("rejets"));
    rs.addNew();
    rs.setField(0, QStringLiteral("172"));
    rs.setField(1, QStringLiteral("Code nomenclature non permis dans efac"));
    rs.update();
    rs.addNew();
    rs.setField(0, QStringLiteral("172"));
    rs.setField(1, QStringLiteral("encore"));
    EXPECT_EQ(errorOf([&] { rs.update(); }), err::DuplicateKey);
    rs.cancelUpdate();
    rs.edit();
    rs.setField(0, QStringLiteral("172"));
    EXPECT_EQ(errorOf([&] { rs.update(); }), err::DuplicateKey);
    commitPendingWrites();
    EXPECT_EQ(stored(QStringLiteral("SELECT group_concat(CODE || ':' || TEXTE, '|') FROM rejets")).toString(),
              QStringLiteral("100:premier|172:Code nomenclature non permis dans efac"));
}

TEST_F(DatabaseRecordsetTest, QueriesAreReadOnly)
{
    Recordset& rs = bind(QStringLiteral("select * from codes"));
    EXPECT_FALSE(rs.isUpdatable());
    for (const auto& call : std::vector<std::function<void()>>{[&] { rs.addNew(); }, [&] { rs.edit(); },
                                                               [&] { rs.deleteCurrent(); }, [&] { rs.setField(0, 1); }})
        EXPECT_EQ(errorOf(call), 3027);
    Recordset& probe = bind(QStringLiteral("select * from codes where ABREVIATION = 'ECLAT'"));
    EXPECT_FALSE(probe.isUpdatable());
    EXPECT_EQ(errorOf([&] { probe.edit(); }), 3027);
}

} // namespace
