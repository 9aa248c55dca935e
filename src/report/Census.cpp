#include "report/Census.h"

#include "platform/Format.h"

#include <algorithm>

namespace maj::census {

QString yearQuery(int year)
{
    return QStringLiteral("select numdentiste from soins where year(date) = ") + QString::number(year) +
           QStringLiteral(" group by numdentiste");
}

QString reportFileName(const QString& reportName, const QString& computerName, const QDate& date)
{
    return reportName + u'_' + computerName + u'_' +
           QString::asprintf("%04d%02d%02d", date.year(), date.month(), date.day()) + QStringLiteral(".pxd");
}

bool isPlainFileName(const QString& name)
{
    static const QString refused = QStringLiteral("\\/:*?\"<>|");
    return !name.isEmpty() &&
           std::none_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() < 0x20 || refused.contains(c); });
}

QStringList introSummary()
{
    return {QString(),
            QStringLiteral("VOUS TROUVEREZ CI-DESSOUS LES INFORMATIONS COLLECTEES À LA SUITE DE CETTE MISE A JOUR"),
            QStringLiteral("LA POURSUITE DE CETTE MISE À JOUR VAUT ACCEPTATION DE L'ENVOI DE CES DONNEES À NORVIX")};
}

QString headerLine(const Header& h)
{
    const QStringList fields{fmt::shortDate(h.moment.date()),
                             fmt::time(h.moment.time()),
                             h.languageCode,
                             fmt::text(h.databaseVersion),
                             QLatin1String(Edition),
                             h.stationCaption,
                             h.computerName,
                             fmt::text(h.practiceName),
                             fmt::text(h.practiceAddress),
                             fmt::text(h.practiceLocality)};
    return fields.join(u';') + u';' + fmt::printed(h.workstations);
}

QStringList headerSummary(const Header& h)
{
    return {QStringLiteral("DATE: ") + fmt::shortDate(h.moment.date()) + u' ' + fmt::time(h.moment.time()),
            QLatin1String(Edition) + u' ' + fmt::text(h.databaseVersion) + u' ' + h.languageCode,
            h.stationCaption + u' ' + h.computerName,
            fmt::text(h.practiceName),
            fmt::text(h.practiceAddress),
            fmt::text(h.practiceLocality),
            fmt::text(h.workstations)};
}

QString countLine(const Year& y)
{
    return QString::number(y.year) + u';' + fmt::printed(QVariant::fromValue(qlonglong(y.count)));
}

QString countSummary(const Year& y)
{
    return QStringLiteral(" NOMBRE DE DENTISTES ") + QString::number(y.year) + QStringLiteral(" = ") +
           QString::number(y.count);
}

QString dentistsLine(const Year& y)
{
    QString line;
    for (const Dentist& d : y.dentists)
        line += fmt::text(d.name) + u';' + fmt::text(d.inami) + u';';
    return line + QStringLiteral("FIN");
}

QStringList dentistsSummary(const Year& y)
{
    QStringList lines;
    for (const Dentist& d : y.dentists)
        lines << fmt::text(d.name) << fmt::text(d.inami) << fmt::text(d.email);
    return lines;
}

} // namespace maj::census
