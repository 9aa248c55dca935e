#include "EngineTest.h"
#include "platform/MajError.h"
#include "platform/jet/Database.h"
#include "platform/jet/JetSql.h"

#include <gtest/gtest.h>

using namespace maj;

namespace {

// Texts that differ in letter case, in accents, in folding subtleties (ß, the Kelvin sign, a
// title-case digraph), the empty text and a quote.
const QStringList kVariants = {
    "abc", "ABC", "Abc", "àbc", "ÀBC", "abç", "", "a'b", "ß", "SS", "ǅ", "ǆ", "K", "\u212A", "k ", "Élise",
};

struct DatabaseFastPathTest : test::EngineTest
{
    DataSource table{engine, "Data1"};
    DataSource probe{engine, "Data2"};

    void SetUp() override
    {
        QStringList rows;
        for (int i = 0; i < 240; ++i)
            rows.append(
                QStringLiteral("(%1, '%2', %3)")
                    .arg(i % 17 == 16 ? QStringLiteral("NULL") : jet::quoteText(kVariants[(i * 7) % kVariants.size()]),
                         QString::number(100000 + i), QString::number(i)));
        create("CREATE TABLE nomenclature (ABREVIATION TEXT(20), \"code inami\" TEXT(15), AGE INTEGER);"
               "INSERT INTO nomenclature VALUES " +
               rows.join(',') + ';');
    }
    // The count that the duplicate check's moves give, then every row, of a selection.
    QStringList rows(const QString& where)
    {
        return EngineTest::rows(probe, "select * from nomenclature where " + where, true);
    }

    // The look-up's answer and SQL's (the parenthesized form is not recognised) must be the same:
    // for probes, with findFirst too, then for each row's own value in table order (the duplicate
    // check's order, in which the look-up expects the next value) and in the reverse order.
    void expectSameAsSql(const char* when)
    {
        Recordset& rs = table.recordset();
        const auto found = [&rs](const QString& criterion) {
            rs.findFirst(criterion);
            return rs.noMatch() ? "-" : rs.field(1).toString();
        };
        for (const QString& value :
             kVariants + QStringList{"absent", "ÉLISE", "élise", "ELISE", "nouveau", "NOUVEAU"}) {
            const QString where = "ABREVIATION = " + jet::quoteText(value);
            EXPECT_EQ(rows(where), rows('(' + where + ')')) << when << " " << value.toStdString();
            EXPECT_EQ(found(where), found('(' + where + ')')) << when << " " << value.toStdString();
        }
        QStringList own;
        for (rs.moveFirst(); !rs.isEof(); rs.moveNext()) {
            if (!rs.field(0).isNull())
                own.append(rs.field(0).toString());
        }
        for (const QString& value : own + QStringList(own.rbegin(), own.rend())) {
            const QString where = "ABREVIATION = " + jet::quoteText(value);
            ASSERT_EQ(rows(where), rows('(' + where + ')')) << when << " " << value.toStdString();
        }
        EXPECT_EQ(rows("ABREVIATION is null"), rows("(ABREVIATION is null)")) << when;
        EXPECT_FALSE(rows("ABREVIATION is null").isEmpty());
    }
};

TEST_F(DatabaseFastPathTest, LookUpsGiveExactlySqlsRowsAlsoAfterTheRecordsetsOwnChanges)
{
    // A probe of a text that no row holds has no record to move to.
    probe.bind(file, "select * from nomenclature where ABREVIATION = 'personne'");
    EXPECT_TRUE(probe.recordset().isEof());
    EXPECT_EQ(test::errorOf([&] { probe.recordset().moveLast(); }), err::NoCurrentRecord);
    // The same form on a number column or an unknown one goes through SQL.
    EXPECT_EQ(rows("AGE = '7'").size(), 2);
    EXPECT_EQ(test::errorOf([&] { rows("INCONNUE = 'x'"); }), err::TooFewParameters);

    table.bind(file, "nomenclature");
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
        test::change(rs, 0, i % 5 == 0 ? QVariant() : QVariant(i % 2 ? "Nouveau" : "élise"));
        rs.moveNext();
    }
    rs.findFirst("ABREVIATION Is Null");
    test::change(rs, 0, "ELISE");
    for (const char* code : {"100040", "100041", "n2"}) {
        rs.findFirst(QStringLiteral("[code inami] = '%1'").arg(QLatin1String(code)));
        ASSERT_FALSE(rs.noMatch()) << code;
        rs.deleteCurrent();
    }
    // Editing another column of a row leaves its key alone.
    rs.findFirst("ABREVIATION = 'ABC'");
    test::change(rs, 2, -1);
    expectSameAsSql("after the recordset's changes");

    // Changes by another connection are followed too.
    engine.commit();
    test::exec(host(), "UPDATE nomenclature SET ABREVIATION = 'NOUVEAU' WHERE AGE % 3 = 0;"
                       "INSERT INTO nomenclature VALUES ('abc', 'x', 5000), (NULL, 'y', 5001)");
    expectSameAsSql("after another connection's changes");
}

} // namespace
