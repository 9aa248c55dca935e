#pragma once

#include <QString>
#include <QVariant>

// Conversions of values to text under the system's regional settings (QLocale::system()).
namespace maj::fmt {

// A value joined into a text: text unchanged, a number with the regional decimal separator, a
// date in the short date format, a time in the time format, null as nothing.
QString text(const QVariant& value);
// A value written by itself into a text file: a number with a blank (or its minus sign) before and
// a blank after, null as the word "Null", anything else as text().
QString printed(const QVariant& value);
QString number(double value);
QString shortDate(const QDate& date);
QString time(const QTime& time);

} // namespace maj::fmt
