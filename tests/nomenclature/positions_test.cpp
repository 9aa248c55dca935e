#include "NomenTest.h"

using namespace maj;
using namespace maj::test;

namespace {

// Runs one step of the column table on real files and returns the target row, the row the target
// held before (empty for a new row) and the source row.
struct Outcome
{
    Row before;
    Row source;
    Row after;
};

Outcome run(NomenFixture& t, const ColumnTable& c)
{
    t.createAll();
    t.f.settings.LanguageCode = QString::fromLatin1(c.languageCode);
    const QString step = QString::fromLatin1(c.step);
    const Row source = fullRow(QStringLiteral("301011"), 0);
    const Row own = fullRow(QStringLiteral("301011"), 1);
    const bool adds = step == QLatin1String("nouv") || step == QLatin1String("synchro insert");
    Outcome out;
    out.source = source;
    if (!adds)
        out.before = own;
    if (step == QLatin1String("nouv") || step == QLatin1String("anciens")) {
        t.addRows(eattestPath(), QStringLiteral("nomen"), {source});
        if (!adds)
            t.addRows(patPath(), QStringLiteral("nomenclature"), {own});
        t.bindForImport();
        if (adds)
            nouv(t.f);
        else
            anciens(t.f);
        const QList<Row> rows = t.rows(patPath(), QStringLiteral("nomenclature"));
        if (rows.size() == 1)
            out.after = rows[0];
    } else {
        t.addRows(patPath(), QStringLiteral("nomenclature"), {source});
        if (!adds)
            t.addRows(trajPath(), QStringLiteral("nomenclature"), {own});
        synchrotrajet(t.f);
        const QList<Row> rows = t.rows(trajPath(), QStringLiteral("nomenclature"));
        if (rows.size() == 1)
            out.after = rows[0];
    }
    return out;
}

} // namespace

TEST(NomenclaturePositions, EachStepWritesThePositionsOfTheColumnTable)
{
    for (const ColumnTable& c : columnTable) {
        SCOPED_TRACE(std::string(c.step) + " " + c.languageCode);
        NomenFixture t;
        const Outcome out = run(t, c);
        EXPECT_TRUE(t.ui.messages.isEmpty()) << t.ui.messages.join(QLatin1Char('|')).toStdString();
        ASSERT_EQ(out.after.size(), 21);
        for (int p = 0; p < 21; ++p) {
            SCOPED_TRACE("position " + std::to_string(p));
            const Value& got = out.after[p];
            switch (c.perPosition[p]) {
            case 'C':
                EXPECT_EQ(got, out.source[p]);
                break;
            case 'K':
                EXPECT_EQ(got, out.before[p]);
                break;
            case 'S':
                EXPECT_EQ(got.toDateTime(), QDateTime(QDate(2021, 1, 1), QTime(0, 0)));
                break;
            case 'D':
                // NOTE_PERSO has no default; FAVORI and ORDRE_AFFICHAGE default to 0.
                if (p == 16) {
                    EXPECT_TRUE(got.isNull());
                } else {
                    EXPECT_FALSE(got.isNull());
                    EXPECT_EQ(got.toInt(), 0);
                }
                break;
            }
        }
    }
}
