#include "NomenTest.h"

using namespace maj;
using namespace maj::test;

namespace {

const QString nomenclature = "nomenclature";
const QString nomen = "nomen";

struct Import : NomenFixture
{
    Import() { createAll(); }
    void uniqueIndex(const QString& column) const
    {
        exec(host(patPath), QStringLiteral("CREATE UNIQUE INDEX test_unique ON nomenclature(\"%1\")").arg(column));
    }
};

} // namespace

TEST(Nouv, AddsOnlyTheCodesTheUserHasNot)
{
    Import t;
    Row present = fullRow("301011", 1);
    t.addRows(patPath, nomenclature, {present, codeRow("OWN", "399999")});
    t.addRows(eattestPath, nomen, {codeRow("NEW1", "302000"), fullRow("301011", 0), codeRow("NEW2", "302001")});
    t.bindForImport();
    nouv(t.f);

    EXPECT_TRUE(t.ui.messages.isEmpty());
    const QList<Row> rows = t.rows(patPath, nomenclature);
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0], present); // a code already there is left to anciens
    EXPECT_EQ(rows[1][1], Value("399999"));
    EXPECT_EQ(rows[2][0], Value("NEW1"));
    EXPECT_EQ(rows[3][0], Value("NEW2"));
    EXPECT_EQ(t.f.window.progressValue, 3);
    EXPECT_EQ(t.f.window.progressMaximum, 3);
}

// A release code is added once, quotes and all; a row the table refuses stops the import, and it
// does not come back with a later write through Data1 (anciens runs after nouv).
TEST(Nouv, AddsEachCodeOnceAndStopsAtARefusedRow)
{
    const struct
    {
        const char* what;
        QList<Row> user, release;
        QStringList codes; // each row of the user's table: abbreviation, code, the stamp's year if any
        QStringList messages;
    } cases[] = {
        {"one code twice", {}, {codeRow("FIRST", "302000"), codeRow("SECOND", "302000")}, {"FIRST 302000 2021"}, {}},
        {"quotes",
         {codeRow("Q1", "30'1")},
         {codeRow("R1", "30'1"), codeRow("R2", "'")},
         {"Q1 30'1 2021", "R2 ' 2021"},
         {}},
        {"an abbreviation taken",
         {codeRow("TAKEN", "301000")},
         {codeRow("OK1", "302000"), codeRow("TAKEN", "302001"), codeRow("OK2", "302002")},
         {"TAKEN 301000", "OK1 302000 2021"},
         {"TAKEN ( 302001 ) n'a pas été ajouté pour cause de doublon"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Import t;
        t.uniqueIndex("ABREVIATION");
        t.addRows(patPath, nomenclature, c.user);
        t.addRows(eattestPath, nomen, c.release);
        t.bindForImport();
        nouv(t.f);
        anciens(t.f);
        t.f.data.Data1.release();
        QStringList codes;
        for (const Row& row : t.rows(patPath, nomenclature))
            codes.append(
                (row[0].toString() + ' ' + row[1].toString() + ' ' + row[19].toDate().toString("yyyy")).trimmed());
        EXPECT_EQ(codes, c.codes);
        EXPECT_EQ(t.ui.messages, c.messages);
    }
}

TEST(Nouv, AnyFailureNamesTheReleaseRow)
{
    Import t;
    t.addRows(eattestPath, nomen, {codeRow(Value(), "302000"), codeRow("B", "302001")});
    t.f.data.Data2.bind(eattestPath, nomen); // Data1 holds nothing
    nouv(t.f);
    EXPECT_EQ(t.ui.messages, QStringList{" ( 302000 ) n'a pas été ajouté pour cause de doublon"});
}

TEST(Nouv, AnEmptyReleaseTableFailsToTheCaller)
{
    Import t;
    t.bindForImport();
    EXPECT_EQ(errorOf([&] { nouv(t.f); }), err::NoCurrentRecord);
    EXPECT_TRUE(t.ui.messages.isEmpty());
}

TEST(Anciens, RefreshesOnlyTheFirstUserRowOfACode)
{
    Import t;
    t.addRows(patPath, nomenclature,
              {codeRow("U1", "301000", "own"), codeRow("U2", "301000", "own"), codeRow("U3", "399999", "own")});
    Row release = codeRow("R", "301000");
    release[3] = 12.5;
    Row absent = codeRow("X", "302000");
    absent[3] = 1.0;
    t.addRows(eattestPath, nomen, {release, absent});
    t.bindForImport();
    anciens(t.f);

    EXPECT_TRUE(t.ui.messages.isEmpty());
    const QList<Row> rows = t.rows(patPath, nomenclature);
    ASSERT_EQ(rows.size(), 3); // anciens adds nothing
    EXPECT_EQ(rows[0][3], Value(12.5));
    EXPECT_EQ(rows[0][19].toDate(), QDate(2021, 1, 1));
    for (int i : {1, 2}) {
        EXPECT_TRUE(rows[i][3].isNull()) << i;
        EXPECT_TRUE(rows[i][19].isNull()) << i;
    }
    EXPECT_EQ(t.f.window.progressValue, 2);
    EXPECT_EQ(t.f.window.progressMaximum, 2);
}

TEST(Anciens, AFailureStopsAtTheRowItRefuses)
{
    Import t;
    t.uniqueIndex("HONORAIRE");
    t.addRows(patPath, nomenclature, {codeRow("A", "301000"), codeRow("B", "301001"), codeRow("C", "301002")});
    QList<Row> release = {codeRow("A", "301000"), codeRow("B", "301001"), codeRow("C", "301002")};
    release[0][3] = 5.0;
    release[1][3] = 5.0; // refused by the index
    release[2][3] = 7.0;
    t.addRows(eattestPath, nomen, release);
    t.bindForImport();
    anciens(t.f);
    t.f.data.Data1.release();

    ASSERT_EQ(t.ui.messages.size(), 1);
    EXPECT_EQ(t.ui.messages[0],
              "Erreur dans les modifications de la nomenclature ! " + standardDescription(err::DuplicateKey));
    const QList<Row> rows = t.rows(patPath, nomenclature);
    EXPECT_EQ(rows[0][3], Value(5.0));
    EXPECT_TRUE(rows[1][3].isNull());
    EXPECT_TRUE(rows[2][3].isNull()); // not examined
}

TEST(Anciens, WithoutDataSourcesShowsItsMessage)
{
    Import t;
    anciens(t.f);
    ASSERT_EQ(t.ui.messages.size(), 1);
    EXPECT_EQ(t.ui.messages[0],
              "Erreur dans les modifications de la nomenclature ! " + standardDescription(err::ObjectNotSet));
}
