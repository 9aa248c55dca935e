#include "NomenTest.h"
#include "platform/jet/Sqlite.h"

using namespace maj;
using namespace maj::test;

namespace {

const QString nomenclature = QStringLiteral("nomenclature");
const QString nomen = QStringLiteral("nomen");

struct Import : NomenFixture
{
    Import() { createAll(); }
    void uniqueIndex(const QString& column) const
    {
        sqlite::Connection db(host(patPath()), sqlite::Connection::Mode::ReadWrite);
        db.exec(QStringLiteral("CREATE UNIQUE INDEX test_unique ON nomenclature(\"%1\")").arg(column));
    }
};

} // namespace

TEST(Nouv, AddsOnlyTheCodesTheUserHasNot)
{
    Import t;
    Row present = fullRow(QStringLiteral("301011"), 1);
    t.addRows(patPath(), nomenclature, {present, codeRow(QStringLiteral("OWN"), QStringLiteral("399999"))});
    t.addRows(eattestPath(), nomen,
              {codeRow(QStringLiteral("NEW1"), QStringLiteral("302000")), fullRow(QStringLiteral("301011"), 0),
               codeRow(QStringLiteral("NEW2"), QStringLiteral("302001"))});
    t.bindForImport();
    nouv(t.f);

    EXPECT_TRUE(t.ui.messages.isEmpty());
    const QList<Row> rows = t.rows(patPath(), nomenclature);
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0], present); // a code already there is left to anciens
    EXPECT_EQ(rows[1][1], Value(QStringLiteral("399999")));
    EXPECT_EQ(rows[2][0], Value(QStringLiteral("NEW1")));
    EXPECT_EQ(rows[3][0], Value(QStringLiteral("NEW2")));
    EXPECT_EQ(t.f.window.progressValue, 3);
    EXPECT_EQ(t.f.window.progressMaximum, 3);
}

TEST(Nouv, TwoReleaseRowsWithOneCodeAddTheFirst)
{
    Import t;
    t.addRows(eattestPath(), nomen,
              {codeRow(QStringLiteral("FIRST"), QStringLiteral("302000")),
               codeRow(QStringLiteral("SECOND"), QStringLiteral("302000"))});
    t.bindForImport();
    nouv(t.f);

    EXPECT_TRUE(t.ui.messages.isEmpty());
    const QList<Row> rows = t.rows(patPath(), nomenclature);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0][0], Value(QStringLiteral("FIRST")));
}

TEST(Nouv, ARefusedRowStopsTheImport)
{
    Import t;
    t.uniqueIndex(QStringLiteral("ABREVIATION"));
    t.addRows(patPath(), nomenclature, {codeRow(QStringLiteral("TAKEN"), QStringLiteral("301000"))});
    t.addRows(eattestPath(), nomen,
              {codeRow(QStringLiteral("OK1"), QStringLiteral("302000")),
               codeRow(QStringLiteral("TAKEN"), QStringLiteral("302001")),
               codeRow(QStringLiteral("OK2"), QStringLiteral("302002"))});
    t.bindForImport();
    nouv(t.f);
    // The refused row must not come back with a later write through Data1.
    anciens(t.f);
    t.f.data.Data1.release();

    EXPECT_EQ(t.ui.messages, QStringList{QStringLiteral("TAKEN ( 302001 ) n'a pas été ajouté pour cause de doublon")});
    EXPECT_EQ(t.ui.titles, QStringList{QStringLiteral("Mise à jour")});
    EXPECT_EQ(t.codes(patPath(), nomenclature), QStringList({QStringLiteral("301000"), QStringLiteral("302000")}));
}

TEST(Nouv, AnyFailureNamesTheReleaseRow)
{
    Import t;
    t.addRows(eattestPath(), nomen,
              {codeRow(Value(), QStringLiteral("302000")), codeRow(QStringLiteral("B"), QStringLiteral("302001"))});
    t.f.data.Data2.bind(eattestPath(), nomen); // Data1 holds nothing
    nouv(t.f);
    EXPECT_EQ(t.ui.messages, QStringList{QStringLiteral(" ( 302000 ) n'a pas été ajouté pour cause de doublon")});
}

TEST(Nouv, AnEmptyReleaseTableFailsToTheCaller)
{
    Import t;
    t.bindForImport();
    try {
        nouv(t.f);
        FAIL() << "no failure";
    } catch (const MajError& e) {
        EXPECT_EQ(e.number(), err::NoCurrentRecord);
    }
    EXPECT_TRUE(t.ui.messages.isEmpty());
}

TEST(Nouv, CodesWithQuotesAreFoundAndAdded)
{
    Import t;
    t.addRows(patPath(), nomenclature, {codeRow(QStringLiteral("Q1"), QStringLiteral("30'1"))});
    t.addRows(
        eattestPath(), nomen,
        {codeRow(QStringLiteral("R1"), QStringLiteral("30'1")), codeRow(QStringLiteral("R2"), QStringLiteral("'"))});
    t.bindForImport();
    nouv(t.f);
    EXPECT_TRUE(t.ui.messages.isEmpty()) << t.ui.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(t.codes(patPath(), nomenclature), QStringList({QStringLiteral("30'1"), QStringLiteral("'")}));
}

TEST(Anciens, RefreshesOnlyTheFirstUserRowOfACode)
{
    Import t;
    t.addRows(patPath(), nomenclature,
              {codeRow(QStringLiteral("U1"), QStringLiteral("301000"), QStringLiteral("own")),
               codeRow(QStringLiteral("U2"), QStringLiteral("301000"), QStringLiteral("own")),
               codeRow(QStringLiteral("U3"), QStringLiteral("399999"), QStringLiteral("own"))});
    Row release = codeRow(QStringLiteral("R"), QStringLiteral("301000"));
    release[3] = 12.5;
    Row absent = codeRow(QStringLiteral("X"), QStringLiteral("302000"));
    absent[3] = 1.0;
    t.addRows(eattestPath(), nomen, {release, absent});
    t.bindForImport();
    anciens(t.f);

    EXPECT_TRUE(t.ui.messages.isEmpty());
    const QList<Row> rows = t.rows(patPath(), nomenclature);
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

TEST(Anciens, CodesWithQuotesAreRefreshed)
{
    Import t;
    t.addRows(patPath(), nomenclature, {codeRow(QStringLiteral("Q"), QStringLiteral("30'1"))});
    Row release = codeRow(QStringLiteral("R"), QStringLiteral("30'1"));
    release[6] = QStringLiteral("nouvelle catégorie");
    t.addRows(eattestPath(), nomen, {release});
    t.bindForImport();
    anciens(t.f);
    EXPECT_TRUE(t.ui.messages.isEmpty()) << t.ui.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(t.rows(patPath(), nomenclature)[0][6], Value(QStringLiteral("nouvelle catégorie")));
}

TEST(Anciens, AFailureStopsAtTheRowItRefuses)
{
    Import t;
    t.uniqueIndex(QStringLiteral("HONORAIRE"));
    t.addRows(patPath(), nomenclature,
              {codeRow(QStringLiteral("A"), QStringLiteral("301000")),
               codeRow(QStringLiteral("B"), QStringLiteral("301001")),
               codeRow(QStringLiteral("C"), QStringLiteral("301002"))});
    QList<Row> release = {codeRow(QStringLiteral("A"), QStringLiteral("301000")),
                          codeRow(QStringLiteral("B"), QStringLiteral("301001")),
                          codeRow(QStringLiteral("C"), QStringLiteral("301002"))};
    release[0][3] = 5.0;
    release[1][3] = 5.0; // refused by the index
    release[2][3] = 7.0;
    t.addRows(eattestPath(), nomen, release);
    t.bindForImport();
    anciens(t.f);
    t.f.data.Data1.release();

    ASSERT_EQ(t.ui.messages.size(), 1);
    EXPECT_EQ(t.ui.messages[0], QStringLiteral("Erreur dans les modifications de la nomenclature ! ") +
                                    standardDescription(err::DuplicateKey));
    const QList<Row> rows = t.rows(patPath(), nomenclature);
    EXPECT_EQ(rows[0][3], Value(5.0));
    EXPECT_TRUE(rows[1][3].isNull());
    EXPECT_TRUE(rows[2][3].isNull()); // not examined
}

TEST(Anciens, WithoutDataSourcesShowsItsMessage)
{
    Import t;
    anciens(t.f);
    ASSERT_EQ(t.ui.messages.size(), 1);
    EXPECT_EQ(t.ui.messages[0], QStringLiteral("Erreur dans les modifications de la nomenclature ! ") +
                                    standardDescription(err::ObjectNotSet));
}
