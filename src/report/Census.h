#pragma once

#include "platform/jet/Database.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The census's values and the lines made of them, free of files and data sources: the report's
// lines (without their CR LF) and the summary's lines (each appended as CR LF and the line).
namespace maj::census {

// A dentist listed in a year: fields 1, 6 and 8 of its dentiste row.
struct Dentist
{
    Value name;
    Value inami;
    Value email;
};

// One year of activity: the number of different dentists with a treatment that year, and those
// of them that the dentiste table knows, in the order of the year's query.
struct Year
{
    int year = 0;
    qint64 count = 0;
    QList<Dentist> dentists;
};

// What line 1 of the report holds.
struct Header
{
    QDateTime moment;
    QString languageCode;
    Value databaseVersion;  // patient parapat field 3
    QString stationCaption; // "SERVEUR" or "POSTE CLIENT"
    QString computerName;
    Value practiceName; // settings fields 15, 16, 17 and 20
    Value practiceAddress;
    Value practiceLocality;
    Value workstations;
};

inline constexpr char Edition[] = "VERSION PLURI";

// The query of the dentist numbers with a treatment in a year.
QString yearQuery(int year);
// ReportName + "_" + computer + "_" + yyyymmdd + ".pxd".
QString reportFileName(const QString& reportName, const QString& computerName, const QDate& date);
// True when the name can be one file name component: none of \ / : * ? " < > | nor a control
// character.
bool isPlainFileName(const QString& name);

// Summary lines 1 to 3: the empty line and the two lines about the data sent to the maker.
QStringList introSummary();
// Report line 1 and summary lines 4 to 10.
QString headerLine(const Header& header);
QStringList headerSummary(const Header& header);
// "2025; 2 " and " NOMBRE DE DENTISTES 2025 = 2".
QString countLine(const Year& year);
QString countSummary(const Year& year);
// "A1;A6;B1;B6;FIN" and the dentists' fields 1, 6 and 8, one per line.
QString dentistsLine(const Year& year);
QStringList dentistsSummary(const Year& year);

} // namespace maj::census
