#include "NomenTest.h"

using namespace maj;
using namespace maj::test;

namespace {

const QString first = "Vérification de la validité de votre base de données de nomenclature !";
const QString done = "Vérification terminée !";
const QString design = "Merci de bien prendre note des corrections à effectuer";

QString line(const QString& abbreviation, const QString& code, const QString& text)
{
    return "L'abréviation  " + abbreviation + " de " + code + " " + text +
           " est à modifier : voir doublon(s) dans la liste";
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
    const QString s = " ";
    const Case cases[] = {
        {"all distinct", {codeRow("DETA", "301011", "TA"), codeRow("DETB", "301012", "TB")}, {}},
        {"two rows share",
         {codeRow("DET", "A", "TA"), codeRow("X", "C", "TC"), codeRow("DET", "B", "TB")},
         {s, line("DET", "A", "TA"), s, line("DET", "B", "TB")}},
        {"letter case",
         {codeRow("Det", "A", "TA"), codeRow("DET", "B", "TB")},
         {s, line("Det", "A", "TA"), s, line("DET", "B", "TB")}},
        {"apostrophes",
         {codeRow("d'E", "A", "TA"), codeRow("l'X", "C", "TC"), codeRow("D'e", "B", "TB")},
         {s, line("d'E", "A", "TA"), s, line("D'e", "B", "TB")}},
        {"one row without abbreviation", {codeRow(Value(), "A", "TA"), codeRow("", "B", "TB")}, {}},
        {"rows without abbreviation",
         {codeRow(Value(), "A", "TA"), codeRow("Y", "C", Value()), codeRow(Value(), "B", "TB")},
         {s, line({}, "A", "TA"), s, line({}, "B", "TB")}},
        {"null text columns",
         {codeRow("Z", Value(), Value()), codeRow("Z", "B", Value())},
         {s, line("Z", {}, {}), s, line("Z", "B", {})}},
        {"empty table", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NomenFixture t;
        t.create(patPath, "pat");
        t.addRows(patPath, "nomenclature", c.rows);
        const QList<Row> before = t.rows(patPath, "nomenclature");
        t.f.window.l.append("earlier"); // never cleared
        int notified = 0;
        QObject::connect(&t.f.window, &WindowModel::changed, [&] { ++notified; });
        runHandler(t.ui, [&] { btnbd_Click(t.f); });

        EXPECT_EQ(t.f.window.l, QStringList({design, "earlier"}) + c.reported);
        const bool found = !c.reported.isEmpty();
        EXPECT_EQ(notified, found ? 1 : 0);
        // Data1 and Data2 stay bound to the patient database.
        EXPECT_EQ(t.f.data.Data1.recordSource(), "nomenclature");
        EXPECT_EQ(t.f.data.Data2.databaseName(), patPath);
        EXPECT_EQ(t.ui.messages, found ? QStringList{first} : QStringList({first, done}));
        EXPECT_EQ(t.ui.ended, !found);
        EXPECT_EQ(t.f.window.lVisible, found);
        EXPECT_EQ(t.f.window.btnquitterVisible, found);
        EXPECT_EQ(t.f.window.progressValue, c.rows.size());
        EXPECT_EQ(t.f.window.progressMaximum, c.rows.size());
        // The check changes no row.
        EXPECT_EQ(t.rows(patPath, "nomenclature"), before);
    }
}

TEST(DuplicateCheck, FailuresGoToTheCaller)
{
    NomenFixture t;
    t.drive.write("praxidome/eattest.mdb"); // a folder without pat.mdb
    EXPECT_EQ(errorOf([&] { btnbd_Click(t.f); }), err::DatabaseNotFound);
    EXPECT_EQ(t.ui.messages, QStringList{first});
    EXPECT_FALSE(t.ui.ended);
}
