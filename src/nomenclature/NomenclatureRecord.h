#pragma once

#include "platform/jet/Database.h"

#include <QList>
#include <QString>

// The nomenclature record shared by pat.mdb nomenclature, eattest.mdb nomen and traj.mdb
// nomenclature (positions 0 to 20; later columns are never touched), what each tariff step writes
// into it, and the queries that find its rows.
namespace maj::nomen {

constexpr int StampPosition = 19; // stamp of the release that last wrote the row

// The ways a step writes a row of the record.
enum class Step
{
    Nouv,          // a new code added to the user's table
    Anciens,       // an existing code of the user's table refreshed from the release
    SynchroUpdate, // a reduced-rate row refreshed from the user's table
    SynchroInsert, // a reduced-rate row added from the user's table
};

// Positions taken from the same positions of the source row, ascending. Column 2 of an existing
// code follows the release only in the edition whose LanguageCode is exactly "FR".
QList<int> copiedPositions(Step step, const QString& languageCode);

// Sets the target's pending row: the copied positions below the stamp in ascending order, the
// stamp (the release date as text, converted by the engine to the column's type), then the copied
// positions above it. The caller has started the add or edit and saves it.
void writeRow(Recordset& target, const Recordset& source, Step step, const QString& languageCode,
              const QString& releaseDate);

// A text as a Jet literal: between single quotes, each quote inside doubled; after `before`.
QString jetQuoted(const QString& before, const QString& text);
// "[code inami] = '<code>'": finds the first row holding the code.
QString codeCriterion(const QString& code);
// The selection of every row of `nomenclature` holding an abbreviation (a null abbreviation selects
// the rows that have none).
QString abbreviationQuery(const Value& abbreviation);

// Moves to the first row of `rs` and returns how many rows it holds. Both moves fail (3021) on an
// empty recordset, as the move to the first row alone would.
inline qint64 countFromFirst(Recordset& rs)
{
    rs.moveLast();
    const qint64 total = rs.recordCount();
    rs.moveFirst();
    return total;
}

} // namespace maj::nomen
