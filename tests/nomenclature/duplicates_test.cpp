#include "NomenTest.h"

using namespace maj;
using namespace maj::test;

namespace {

const QString first = QStringLiteral("Vérification de la validité de votre base de données de nomenclature !");
const QString done = QStringLiteral("Vérification terminée !");
const QString design = QStringLiteral("Merci de bien prendre note des corrections à effectuer");

QString line(const QString& abbreviation, const QString& code, const QString& text)
{
    return QStringLiteral("L'abréviation  ") + abbreviation + QStringLiteral(" de ") + code + QStringLiteral(" ") +
           text + QStringLiteral(" est à modifier : voir doublon(s) dans la liste");
}

struct Case
{
    const char* name;
    QList<Row> rows;
    QStringList reported; // lines below the design line; empty: no duplicate
};

} // namespace

TEST(DuplicateCheck, ReportsEveryRowOfASharedAbbreviation)
{
    const QString s = QStringLiteral(" ");
    const Case cases[] = {
        {"all distinct",
         {codeRow(QStringLiteral("DETA"), QStringLiteral("301011"), QStringLiteral("TA")),
          codeRow(QStringLiteral("DETB"), QStringLiteral("301012"), QStringLiteral("TB"))},
         {}},
        {"two rows share",
         {codeRow(QStringLiteral("DET"), QStringLiteral("A"), QStringLiteral("TA")),
          codeRow(QStringLiteral("X"), QStringLiteral("C"), QStringLiteral("TC")),
          codeRow(QStringLiteral("DET"), QStringLiteral("B"), QStringLiteral("TB"))},
         {s, line(QStringLiteral("DET"), QStringLiteral("A"), QStringLiteral("TA")), s,
          line(QStringLiteral("DET"), QStringLiteral("B"), QStringLiteral("TB"))}},
        {"letter case",
         {codeRow(QStringLiteral("Det"), QStringLiteral("A"), QStringLiteral("TA")),
          codeRow(QStringLiteral("DET"), QStringLiteral("B"), QStringLiteral("TB"))},
         {s, line(QStringLiteral("Det"), QStringLiteral("A"), QStringLiteral("TA")), s,
          line(QStringLiteral("DET"), QStringLiteral("B"), QStringLiteral("TB"))}},
        {"apostrophes",
         {codeRow(QStringLiteral("d'E"), QStringLiteral("A"), QStringLiteral("TA")),
          codeRow(QStringLiteral("l'X"), QStringLiteral("C"), QStringLiteral("TC")),
          codeRow(QStringLiteral("D'e"), QStringLiteral("B"), QStringLiteral("TB"))},
         {s, line(QStringLiteral("d'E"), QStringLiteral("A"), QStringLiteral("TA")), s,
          line(QStringLiteral("D'e"), QStringLiteral("B"), QStringLiteral("TB"))}},
        {"one row without abbreviation",
         {codeRow(Value(), QStringLiteral("A"), QStringLiteral("TA")),
          codeRow(QStringLiteral(""), QStringLiteral("B"), QStringLiteral("TB"))},
         {}},
        {"rows without abbreviation",
         {codeRow(Value(), QStringLiteral("A"), QStringLiteral("TA")),
          codeRow(QStringLiteral("Y"), QStringLiteral("C"), Value()),
          codeRow(Value(), QStringLiteral("B"), QStringLiteral("TB"))},
         {s, line({}, QStringLiteral("A"), QStringLiteral("TA")), s,
          line({}, QStringLiteral("B"), QStringLiteral("TB"))}},
        {"null text columns",
         {codeRow(QStringLiteral("Z"), Value(), Value()), codeRow(QStringLiteral("Z"), QStringLiteral("B"), Value())},
         {s, line(QStringLiteral("Z"), {}, {}), s, line(QStringLiteral("Z"), QStringLiteral("B"), {})}},
        {"empty table", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NomenFixture t;
        t.create(patPath(), QStringLiteral("pat"));
        t.addRows(patPath(), QStringLiteral("nomenclature"), c.rows);
        const QList<Row> before = t.rows(patPath(), QStringLiteral("nomenclature"));
        runHandler(t.ui, [&] { btnbd_Click(t.f); });

        EXPECT_EQ(t.f.window.l, QStringList{design} + c.reported);
        const bool found = !c.reported.isEmpty();
        EXPECT_EQ(t.ui.messages, found ? QStringList{first} : QStringList({first, done}));
        EXPECT_EQ(t.ui.ended, !found);
        EXPECT_EQ(t.f.window.lVisible, found);
        EXPECT_EQ(t.f.window.btnquitterVisible, found);
        EXPECT_EQ(t.f.window.progressValue, c.rows.size());
        EXPECT_EQ(t.f.window.progressMaximum, c.rows.size());
        // The check changes no row.
        EXPECT_EQ(t.rows(patPath(), QStringLiteral("nomenclature")), before);
    }
}

TEST(DuplicateCheck, NeverClearsTheListAndTellsTheWindow)
{
    NomenFixture t;
    t.create(patPath(), QStringLiteral("pat"));
    t.addRows(patPath(), QStringLiteral("nomenclature"),
              {codeRow(QStringLiteral("D"), QStringLiteral("A")), codeRow(QStringLiteral("D"), QStringLiteral("B"))});
    t.f.window.l.append(QStringLiteral("earlier"));
    int notified = 0;
    QObject::connect(&t.f.window, &WindowModel::changed, [&] { ++notified; });
    btnbd_Click(t.f);
    ASSERT_EQ(t.f.window.l.size(), 6);
    EXPECT_EQ(t.f.window.l[1], QStringLiteral("earlier"));
    EXPECT_EQ(notified, 1);
    // Data1 and Data2 stay bound to the patient database.
    EXPECT_EQ(t.f.data.Data1.recordSource(), QStringLiteral("nomenclature"));
    EXPECT_EQ(t.f.data.Data2.databaseName(), patPath());
}

TEST(DuplicateCheck, FailuresGoToTheCaller)
{
    NomenFixture t;
    t.drive.write(QStringLiteral("praxidome/eattest.mdb")); // a folder without pat.mdb
    try {
        btnbd_Click(t.f);
        FAIL() << "no failure";
    } catch (const MajError& e) {
        EXPECT_EQ(e.number(), err::DatabaseNotFound);
    }
    EXPECT_EQ(t.ui.messages, QStringList{first});
    EXPECT_FALSE(t.ui.ended);
}
