#include "TestSupport.h"
#include "platform/MajError.h"
#include "platform/jet/Database.h"
#include "platform/jet/Sqlite.h"

#include <QDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace maj;
using maj::test::TempDrive;

namespace {

// Texts that differ in letter case, in accents, in folding subtleties (ß, the Kelvin sign, a
// title-case digraph), the empty text and a quote.
const QStringList kVariants = {
    QStringLiteral("abc"), QStringLiteral("ABC"),    QStringLiteral("Abc"), QStringLiteral("àbc"),
    QStringLiteral("ÀBC"), QStringLiteral("abç"),    QStringLiteral(""),    QStringLiteral("a'b"),
    QStringLiteral("ß"),   QStringLiteral("SS"),     QStringLiteral("ǅ"),   QStringLiteral("ǆ"),
    QStringLiteral("K"),   QStringLiteral("\u212A"), QStringLiteral("k "),  QStringLiteral("Élise"),
};

QString literal(const QString& text)
{
    return QStringLiteral("'") + QString(text).replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

struct DatabaseFastPathTest : ::testing::Test
{
    TempDrive drive;
    const QString file = QStringLiteral("c:\\praxidome\\pat.mdb");
    DataSource table{QStringLiteral("Data1")};
    DataSource probe{QStringLiteral("Data2")};

    void SetUp() override
    {
        QDir().mkpath(drive.host(QStringLiteral("praxidome")));
        sqlite::Connection db(drive.host(QStringLiteral("praxidome/pat.mdb")),
                              sqlite::Connection::Mode::ReadWriteCreate);
        db.exec(
            QStringLiteral("CREATE TABLE nomenclature (ABREVIATION TEXT(20), \"code inami\" TEXT(15), AGE INTEGER)"));
        db.exec(QStringLiteral("BEGIN"));
        auto insert = db.prepare(QStringLiteral("INSERT INTO nomenclature VALUES (?, ?, ?)"));
        for (int i = 0; i < 240; ++i) {
            insert.bind(1, i % 17 == 16 ? QVariant() : QVariant(kVariants[(i * 7) % kVariants.size()]));
            insert.bind(2, QString::number(100000 + i));
            insert.bind(3, i);
            insert.step();
            insert.reset();
        }
        db.exec(QStringLiteral("COMMIT"));
    }
    void TearDown() override
    {
        probe.release();
        table.release();
    }

    // Every row of a query, fields joined, after the duplicate check's moves.
    QStringList rows(const QString& query, int& count)
    {
        probe.bind(file, query);
        Recordset& rs = probe.recordset();
        count = 0;
        if (!rs.isEof()) {
            rs.moveLast();
            rs.moveFirst();
            count = rs.recordCount();
        }
        QStringList out;
        for (; !rs.isEof(); rs.moveNext())
            out.append(rs.field(0).toString() + QLatin1Char('|') + rs.field(1).toString() + QLatin1Char('|') +
                       rs.field(QStringLiteral("age")).toString());
        return out;
    }

    // The look-up's answer and SQL's (the parenthesized form is not recognised) must be the same.
    void expectSameAsSql(const char* when)
    {
        QStringList probes = kVariants;
        probes << QStringLiteral("absent") << QStringLiteral("ÉLISE") << QStringLiteral("élise")
               << QStringLiteral("ELISE") << QStringLiteral("nouveau") << QStringLiteral("NOUVEAU");
        Recordset& rs = table.recordset();
        for (const QString& value : probes) {
            const QString where = QStringLiteral("ABREVIATION = ") + literal(value);
            int fastCount = 0;
            int sqlCount = 0;
            const QStringList fast = rows(QStringLiteral("select * from nomenclature where ") + where, fastCount);
            const QStringList sql = rows(QStringLiteral("select * from nomenclature where (") + where + ')', sqlCount);
            EXPECT_EQ(fast, sql) << when << " " << value.toStdString();
            EXPECT_EQ(fastCount, sqlCount) << when << " " << value.toStdString();

            rs.findFirst(where);
            const bool fastFound = !rs.noMatch();
            const QString fastCode = fastFound ? rs.field(1).toString() : QString();
            rs.findFirst(QLatin1Char('(') + where + QLatin1Char(')'));
            EXPECT_EQ(fastFound, !rs.noMatch()) << when << " " << value.toStdString();
            if (fastFound && !rs.noMatch()) {
                EXPECT_EQ(fastCode, rs.field(1).toString()) << when << " " << value.toStdString();
            }
        }
        // Each row's own value in table order (the duplicate check's order, in which the look-up
        // expects the next value) and in the reverse order.
        QStringList own;
        for (rs.moveFirst(); !rs.isEof(); rs.moveNext())
            own.append(rs.field(0).isNull() ? QString() : rs.field(0).toString());
        QStringList reversed = own;
        std::reverse(reversed.begin(), reversed.end());
        for (const QStringList& order : {own, reversed}) {
            for (const QString& value : order) {
                if (value.isNull())
                    continue;
                const QString where = QStringLiteral("ABREVIATION = ") + literal(value);
                int fastCount = 0;
                int sqlCount = 0;
                const QStringList fast = rows(QStringLiteral("select * from nomenclature where ") + where, fastCount);
                const QStringList sql =
                    rows(QStringLiteral("select * from nomenclature where (") + where + ')', sqlCount);
                ASSERT_EQ(fast, sql) << when << " " << value.toStdString();
                ASSERT_EQ(fastCount, sqlCount) << when << " " << value.toStdString();
            }
        }
        int fastCount = 0;
        int sqlCount = 0;
        EXPECT_EQ(rows(QStringLiteral("select * from nomenclature where ABREVIATION is null"), fastCount),
                  rows(QStringLiteral("select * from nomenclature where (ABREVIATION is null)"), sqlCount))
            << when;
        EXPECT_EQ(fastCount, sqlCount);
        EXPECT_GT(fastCount, 0);
    }
};

TEST_F(DatabaseFastPathTest, LookUpsGiveExactlySqlsRowsAlsoAfterTheRecordsetsOwnChanges)
{
    table.bind(file, QStringLiteral("nomenclature"));
    expectSameAsSql("as created");

    Recordset& rs = table.recordset();
    // Added rows, edited keys (to another value, to null, from null), deleted rows.
    for (int i = 0; i < 6; ++i) {
        rs.addNew();
        rs.setField(0, i == 5 ? QVariant() : QVariant(kVariants[i * 3 % kVariants.size()]));
        rs.setField(1, QStringLiteral("n%1").arg(i));
        rs.setField(2, 1000 + i);
        rs.update();
    }
    rs.moveFirst();
    for (int i = 0; i < 30 && !rs.isEof(); ++i) {
        rs.edit();
        rs.setField(0, i % 5 == 0 ? QVariant() : QVariant(i % 2 ? QStringLiteral("Nouveau") : QStringLiteral("élise")));
        rs.update();
        rs.moveNext();
    }
    rs.findFirst(QStringLiteral("ABREVIATION Is Null"));
    rs.edit();
    rs.setField(0, QStringLiteral("ELISE"));
    rs.update();
    for (const char* code : {"100040", "100041", "n2"}) {
        rs.findFirst(QStringLiteral("[code inami] = '%1'").arg(QLatin1String(code)));
        ASSERT_FALSE(rs.noMatch()) << code;
        rs.deleteCurrent();
    }
    // Editing another column of a row leaves its key alone.
    rs.findFirst(QStringLiteral("ABREVIATION = 'ABC'"));
    rs.edit();
    rs.setField(2, -1);
    rs.update();
    expectSameAsSql("after the recordset's changes");

    // Changes by another connection are followed too.
    commitPendingWrites();
    {
        sqlite::Connection other(drive.host(QStringLiteral("praxidome/pat.mdb")), sqlite::Connection::Mode::ReadWrite);
        other.exec(QStringLiteral("UPDATE nomenclature SET ABREVIATION = 'NOUVEAU' WHERE AGE % 3 = 0;"
                                  "INSERT INTO nomenclature VALUES ('abc', 'x', 5000), (NULL, 'y', 5001)"));
    }
    expectSameAsSql("after another connection's changes");
}

TEST_F(DatabaseFastPathTest, ProbeOfATextThatNoRowHoldsHasNoRecordToMoveTo)
{
    probe.bind(file, QStringLiteral("select * from nomenclature where ABREVIATION = ''"));
    EXPECT_FALSE(probe.recordset().isEof()); // the empty text is a value like any other
    probe.bind(file, QStringLiteral("select * from nomenclature where ABREVIATION = 'personne'"));
    EXPECT_TRUE(probe.recordset().isEof());
    try {
        probe.recordset().moveLast();
        FAIL() << "moveLast on an empty selection";
    } catch (const MajError& e) {
        EXPECT_EQ(e.number(), err::NoCurrentRecord);
    }
    // The same form on a number column or an unknown one goes through SQL.
    int count = 0;
    EXPECT_EQ(rows(QStringLiteral("select * from nomenclature where AGE = '7'"), count).size(), 1);
    try {
        probe.bind(file, QStringLiteral("select * from nomenclature where INCONNUE = 'x'"));
        FAIL() << "unknown column";
    } catch (const MajError& e) {
        EXPECT_EQ(e.number(), err::TooFewParameters);
    }
}

} // namespace
