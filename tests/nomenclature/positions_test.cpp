#include "NomenTest.h"

using namespace maj;
using namespace maj::test;

namespace {

// The column table of the nomenclature record, one letter per position: C copied from the source,
// K kept, S stamped with the release date, D left at the table's default.
struct ColumnTable
{
    const char* step;
    const char* languageCode;
    const char* perPosition; // 21 letters, position 0 first
};
const ColumnTable columnTable[] = {
    //                        0         1         2
    //                        012345678901234567890
    {"nouv", "NL", /*      */ "CCCCCCCCCCCCCCCCDDDSC"}, {"anciens", "NL", /*   */ "KKKCCCCKKCCCCCCCKKKSC"},
    {"anciens", "FR", /*   */ "KKCCCCCKKCCCCCCCKKKSC"}, {"anciens", "fr", /*   */ "KKKCCCCKKCCCCCCCKKKSC"},
    {"synchro update", "NL", "CKCKKKCCCKKKCKCCKKKSC"},  {"synchro insert", "NL", "CCCCCCCCCCCCCCCCDDDSC"},
};

} // namespace

// Each step of the column table, on real files: a release row and the user's own row of one code
// that differ at every other position.
TEST(NomenclaturePositions, EachStepWritesThePositionsOfTheColumnTable)
{
    for (const ColumnTable& c : columnTable) {
        SCOPED_TRACE(std::string(c.step) + " " + c.languageCode);
        NomenFixture t;
        t.createAll();
        t.f.settings.LanguageCode = c.languageCode;
        const QString step = c.step;
        const Row source = fullRow("301011", 0);
        const Row own = fullRow("301011", 1);
        const bool adds = step == "nouv" || step == "synchro insert";
        const bool import = step == "nouv" || step == "anciens";
        const QString target = import ? patPath : trajPath;
        t.addRows(import ? eattestPath : patPath, import ? "nomen" : "nomenclature", {source});
        if (!adds)
            t.addRows(target, "nomenclature", {own});
        if (import) {
            t.bindForImport();
            adds ? nouv(t.f) : anciens(t.f);
        } else {
            synchrotrajet(t.f);
        }
        EXPECT_TRUE(t.ui.messages.isEmpty()) << t.ui.messages.join('|').toStdString();
        const QList<Row> rows = t.rows(target, "nomenclature");
        ASSERT_EQ(rows.size(), 1);
        for (int p = 0; p < 21; ++p) {
            SCOPED_TRACE("position " + std::to_string(p));
            const Value& got = rows[0][p];
            if (c.perPosition[p] == 'C')
                EXPECT_EQ(got, source[p]);
            else if (c.perPosition[p] == 'K')
                EXPECT_EQ(got, own[p]);
            else if (c.perPosition[p] == 'S')
                EXPECT_EQ(got.toDateTime(), QDateTime(QDate(2021, 1, 1), QTime(0, 0)));
            else // NOTE_PERSO has no default; FAVORI and ORDRE_AFFICHAGE default to 0.
                EXPECT_EQ(got.isNull() ? "null" : got.toString(), p == 16 ? "null" : (p == 17 ? "false" : "0"));
        }
    }
}
