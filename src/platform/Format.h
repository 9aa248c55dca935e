#pragma once

#include <QString>
#include <QVariant>

class QLocale;

// Conversions of values to text under the system's regional settings (QLocale::system()).
namespace maj::fmt {

// A value joined into a text: text unchanged, a number with the regional decimal separator and no
// digit grouping, a date in the short date format, a time in the time format, a date and time
// whose time is midnight as its date alone, else date, a blank and time; a yes/no as "Vrai" or
// "Faux" (the old platform's words under French settings); null as nothing.
QString text(const QVariant& value);
// A value written by itself into a text file: a number with a blank (or its minus sign) before and
// a blank after (" 12 ", "-3 "), null as the word "Null", anything else as text().
QString printed(const QVariant& value);
// Shortest digits that give the value back ("81,07"); exponent form from 1E+15 and below 1E-04.
QString number(double value);
// The short date format with a four-digit year ("5/03/2026" under fr_BE).
QString shortDate(const QDate& date);
// The short time format with seconds ("14:02:31").
QString time(const QTime& time);

// A file's size for the texts the program shows, in French whatever the settings: "0 octet",
// "912 octets", "1 024 Mo" from one mebibyte.
QString size(qint64 bytes);

// The formats behind shortDate() and time() for a locale: its short formats, with a four-digit
// year and with seconds.
QString shortDateFormat(const QLocale& locale);
QString timeFormat(const QLocale& locale);

// Whether a QVariant type id holds a whole number (every integer type, signed or not, chars included).
bool isWholeNumber(int typeId);

} // namespace maj::fmt
