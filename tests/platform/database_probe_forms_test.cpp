#include "platform/jet/JetSql.h"

#include <gtest/gtest.h>

using namespace maj::jet;

namespace {

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
        const auto simple = simpleSelect(QString::fromUtf8(c.query));
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
        const auto comparison = simpleComparison(QString::fromUtf8(tail));
        ASSERT_EQ(comparison.has_value(), !text || QByteArray(text) != "-");
        if (comparison) {
            EXPECT_EQ(comparison->isNull ? "null" : comparison->text, text ? QString::fromUtf8(text) : "null");
        }
    }
    EXPECT_TRUE(simpleCriterion(" ABREVIATION = 'D''x' "));
    EXPECT_FALSE(simpleCriterion("ABREVIATION = 'x';")); // a criterion has no end mark
    EXPECT_FALSE(simpleCriterion("ABREVIATION = 'x' or 1"));

    EXPECT_TRUE(isSelectQuery("  (( SELECT a FROM t) UNION (SELECT b FROM u))"));
    EXPECT_FALSE(isSelectQuery("[select]"));
    EXPECT_FALSE(isSelectQuery("selection"));
}

} // namespace
