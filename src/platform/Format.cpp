#include "platform/Format.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>

#include <algorithm>
#include <cmath>

namespace maj::fmt {

namespace {

QLocale regional()
{
    QLocale locale = QLocale::system();
    // The old conversions never grouped digits: 1234567 stays "1234567".
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

bool isNullValue(const QVariant& value)
{
    return !value.isValid() || value.typeId() == QMetaType::Nullptr;
}

// Position and length of each run of `letter` outside the quoted literals of a Qt format.
QList<std::pair<qsizetype, qsizetype>> runsOf(const QString& format, QChar letter)
{
    QList<std::pair<qsizetype, qsizetype>> runs;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == QLatin1Char('\'')) {
            quoted = !quoted;
        } else if (!quoted && format[i] == letter) {
            qsizetype end = i;
            while (end < format.size() && format[end] == letter)
                ++end;
            runs.append({i, end - i});
            i = end - 1;
        }
    }
    return runs;
}

QString dateTimeText(const QDateTime& value)
{
    // Date and time values of the old platform: day zero (30/12/1899) holds a time alone, and
    // midnight a date alone.
    if (!value.isValid())
        return {};
    if (value.time() == QTime(0, 0))
        return shortDate(value.date());
    if (value.date() == QDate(1899, 12, 30))
        return time(value.time());
    return shortDate(value.date()) + QLatin1Char(' ') + time(value.time());
}

} // namespace

QString shortDateFormat(const QLocale& locale)
{
    // CLDR gives fr_BE "d/MM/yy", but the old platform wrote the year with four digits
    // ("05/03/2026") into the report the maker reads, so a shorter year is widened.
    QString format = locale.dateFormat(QLocale::ShortFormat);
    const auto runs = runsOf(format, QLatin1Char('y'));
    if (std::none_of(runs.begin(), runs.end(), [](const auto& run) { return run.second >= 4; })) {
        for (auto it = runs.rbegin(); it != runs.rend(); ++it)
            format.replace(it->first, it->second, QStringLiteral("yyyy"));
    }
    return format;
}

QString timeFormat(const QLocale& locale)
{
    // The old time text holds the seconds ("14:02:31"); the short format lacks them, and the long
    // one adds a time zone that the old platform never wrote. Seconds go after the minutes, with
    // the separator that precedes the minutes when it is a single sign ("HH:mm", "H.mm").
    QString format = locale.timeFormat(QLocale::ShortFormat);
    if (!runsOf(format, QLatin1Char('s')).isEmpty())
        return format;
    const auto minutes = runsOf(format, QLatin1Char('m'));
    if (minutes.isEmpty())
        return format;
    const auto [start, length] = minutes.last();
    QString separator = QStringLiteral(":");
    if (start >= 2) {
        const QChar before = format[start - 1];
        const QChar hour = format[start - 2];
        if ((hour == QLatin1Char('h') || hour == QLatin1Char('H')) && !before.isLetterOrNumber() && !before.isSpace() &&
            before != QLatin1Char('\''))
            separator = before;
    }
    format.insert(start + length, separator + QStringLiteral("ss"));
    return format;
}

QString number(double value)
{
    const QLocale locale = regional();
    if (value == 0)
        return locale.toString(0);
    // Exponent form beyond the range that the old conversion wrote in full.
    const double magnitude = std::abs(value);
    if (magnitude >= 1e15 || magnitude < 1e-4)
        return locale.toString(value, 'E', QLocale::FloatingPointShortest);
    return locale.toString(value, 'f', QLocale::FloatingPointShortest);
}

// QLocale writes an invalid date or time as nothing.
QString shortDate(const QDate& date)
{
    const QLocale locale = QLocale::system();
    return locale.toString(date, shortDateFormat(locale));
}

QString time(const QTime& time)
{
    const QLocale locale = QLocale::system();
    return locale.toString(time, timeFormat(locale));
}

QString text(const QVariant& value)
{
    if (isNullValue(value))
        return {};
    const int type = value.typeId();
    if (type == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("Vrai") : QStringLiteral("Faux");
    if (type == QMetaType::ULongLong || type == QMetaType::ULong || type == QMetaType::UInt)
        return regional().toString(value.toULongLong());
    if (isWholeNumber(type))
        return regional().toString(value.toLongLong());
    if (type == QMetaType::Double || type == QMetaType::Float)
        return number(value.toDouble());
    if (type == QMetaType::QDate)
        return shortDate(value.toDate());
    if (type == QMetaType::QTime)
        return time(value.toTime());
    if (type == QMetaType::QDateTime)
        return dateTimeText(value.toDateTime());
    return value.toString();
}

QString printed(const QVariant& value)
{
    // Only a real null prints as "Null": an empty text is a value.
    if (isNullValue(value))
        return QStringLiteral("Null");
    const int type = value.typeId();
    if (!isWholeNumber(type) && type != QMetaType::Double && type != QMetaType::Float)
        return text(value);
    // The sign's place: a blank before a positive number; a negative one brings its minus sign.
    const QString digits = text(value);
    const bool negative = digits.startsWith(QLatin1Char('-')) || digits.startsWith(regional().negativeSign());
    return (negative ? QString() : QStringLiteral(" ")) + digits + QLatin1Char(' ');
}

bool isWholeNumber(int typeId)
{
    static constexpr int kWhole[] = {QMetaType::Int,   QMetaType::UInt,   QMetaType::LongLong, QMetaType::ULongLong,
                                     QMetaType::Short, QMetaType::UShort, QMetaType::Long,     QMetaType::ULong,
                                     QMetaType::Char,  QMetaType::SChar,  QMetaType::UChar};
    return std::find(std::begin(kWhole), std::end(kWhole), typeId) != std::end(kWhole);
}

QString size(qint64 bytes)
{
    const QLocale french(QLocale::French);
    constexpr qint64 mebibyte = 1024 * 1024;
    if (bytes >= mebibyte)
        return french.toString((bytes + mebibyte / 2) / mebibyte) + QStringLiteral(" Mo");
    return french.toString(bytes) + (bytes > 1 ? QStringLiteral(" octets") : QStringLiteral(" octet"));
}

} // namespace maj::fmt
