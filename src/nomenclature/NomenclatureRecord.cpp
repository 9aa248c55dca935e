#include "nomenclature/NomenclatureRecord.h"

#include <QStringBuilder>

namespace maj::nomen {

QList<int> copiedPositions(Step step, const QString& languageCode)
{
    switch (step) {
    case Step::Nouv:
    case Step::SynchroInsert:
        return {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 20};
    case Step::Anciens: {
        const QList<int> positions{3, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15, 20};
        return languageCode == QLatin1String("FR") ? QList<int>{2} + positions : positions;
    }
    case Step::SynchroUpdate:
        return {0, 2, 6, 7, 8, 12, 14, 15, 20};
    }
    return {};
}

void writeRow(Recordset& target, const Recordset& source, Step step, const QString& languageCode,
              const QString& releaseDate)
{
    const QList<int> copied = copiedPositions(step, languageCode);
    bool stamped = false;
    for (int position : copied) {
        if (position > StampPosition && !stamped) {
            target.setField(StampPosition, releaseDate);
            stamped = true;
        }
        target.setField(position, source.field(position));
    }
    if (!stamped)
        target.setField(StampPosition, releaseDate);
}

QString jetQuoted(const QString& before, const QString& text)
{
    QString inside = text;
    if (inside.contains(QLatin1Char('\'')))
        inside.replace(QLatin1Char('\''), QLatin1String("''"));
    // One allocation: the duplicate check builds a query for every row.
    return before % QLatin1Char('\'') % inside % QLatin1Char('\'');
}

QString codeCriterion(const QString& code)
{
    return jetQuoted(QStringLiteral("[code inami] = "), code);
}

QString abbreviationQuery(const Value& abbreviation)
{
    if (abbreviation.isNull())
        return QStringLiteral("select * from nomenclature where ABREVIATION IS NULL");
    return jetQuoted(QStringLiteral("select * from nomenclature where ABREVIATION = "), abbreviation.toString());
}

} // namespace maj::nomen
