#include "platform/jet/JetTypes.h"

#include "platform/Format.h"
#include "platform/MajError.h"
#include "platform/jet/JetConnection.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>

namespace maj::jet {

namespace {

constexpr qint64 kInt64Min = std::numeric_limits<qint64>::min();
constexpr qint64 kInt64Max = std::numeric_limits<qint64>::max();
// The old engine's dates count days from 30 December 1899.
const QDate kSerialOrigin(1899, 12, 30);

ColumnType integerType(qint64 minimum, qint64 maximum)
{
    ColumnType t;
    t.kind = ColumnType::Kind::Integer;
    t.minimum = minimum;
    t.maximum = maximum;
    return t;
}

[[noreturn]] void conversionError()
{
    throw MajError(err::ConversionError);
}

// A number typed under the regional settings ("3,5"), or written the C way ("3.5").
bool parseNumber(const QString& text, double& out)
{
    const QString t = text.trimmed();
    bool ok = false;
    out = QLocale::system().toDouble(t, &ok);
    if (!ok)
        out = QLocale::c().toDouble(t, &ok);
    return ok && std::isfinite(out);
}

double toSerial(const QDateTime& dt)
{
    const double days = double(kSerialOrigin.daysTo(dt.date()));
    const double fraction = dt.time().msecsSinceStartOfDay() / 86400000.0;
    // Before the origin the fraction still counts forward from midnight, as the old engine did.
    return days < 0 ? days - fraction : days + fraction;
}

QDateTime fromSerial(double serial)
{
    if (!std::isfinite(serial) || serial < -657434.0 || serial > 2958465.99999)
        conversionError();
    const double whole = std::trunc(serial);
    const qint64 ms = qRound64(std::fabs(serial - whole) * 86400000.0);
    return QDateTime(kSerialOrigin.addDays(qint64(whole)),
                     QTime::fromMSecsSinceStartOfDay(int(qMin<qint64>(ms, 86399999))));
}

std::optional<bool> parseYesNo(const QString& text)
{
    static const QStringList yes = QStringLiteral("vrai true oui yes on").split(QLatin1Char(' '));
    static const QStringList no = QStringLiteral("faux false non no off").split(QLatin1Char(' '));
    const QString t = text.trimmed().toLower();
    if (yes.contains(t))
        return true;
    if (no.contains(t))
        return false;
    double number = 0;
    if (parseNumber(t, number))
        return number != 0;
    return std::nullopt;
}

QString textOf(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("Vrai") : QStringLiteral("Faux");
    case QMetaType::Double:
    case QMetaType::Float: {
        QLocale locale = QLocale::system();
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        return locale.toString(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    }
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        const QString date = QLocale::system().toString(dt.date(), QLocale::ShortFormat);
        if (dt.time() == QTime(0, 0))
            return date;
        return date + QLatin1Char(' ') + dt.time().toString(QStringLiteral("HH:mm:ss"));
    }
    case QMetaType::QDate:
        return QLocale::system().toString(value.toDate(), QLocale::ShortFormat);
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::QByteArray:
        return QString::fromUtf8(value.toByteArray());
    default:
        return value.toString();
    }
}

// The number a value stands for in a number column; 3421 when it stands for none.
double numberOf(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Double: {
        const double number = *static_cast<const double*>(value.constData());
        if (!std::isfinite(number))
            conversionError();
        return number;
    }
    case QMetaType::LongLong:
        return double(*static_cast<const qlonglong*>(value.constData()));
    case QMetaType::Int:
        return double(*static_cast<const int*>(value.constData()));
    case QMetaType::Bool:
        return value.toBool() ? -1.0 : 0.0;
    case QMetaType::QDateTime:
        return toSerial(value.toDateTime());
    case QMetaType::QDate:
        return toSerial(value.toDate().startOfDay());
    case QMetaType::QString: {
        double number = 0;
        if (!parseNumber(value.toString(), number))
            conversionError();
        return number;
    }
    default: {
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok || !std::isfinite(number))
            conversionError();
        return number;
    }
    }
}

// "HH:mm", "HH:mm:ss"; an empty text is midnight.
bool parseTime(const QString& text, QTime& out)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        out = QTime(0, 0);
        return true;
    }
    static const QRegularExpression re(QStringLiteral("^(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?$"));
    const auto m = re.match(t);
    if (!m.hasMatch())
        return false;
    out = QTime(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).isEmpty() ? 0 : m.captured(3).toInt());
    return out.isValid();
}

int fullYear(const QString& digitsText)
{
    const int year = digitsText.toInt();
    if (digitsText.size() > 2)
        return year;
    // Two-digit years as the system reads them: 00 to 29 in this century, 30 to 99 in the last.
    return year < 30 ? 2000 + year : 1900 + year;
}

} // namespace

ColumnType parseDeclaredType(const QString& declared)
{
    const QString upper = declared.trimmed().toUpper();
    static const QRegularExpression re(
        QStringLiteral("^([A-Z_ ]*?[A-Z0-9_]*)\\s*(?:\\(\\s*(\\d+)\\s*(?:,\\s*\\d+\\s*)?\\))?"));
    const auto m = re.match(upper);
    QString base = m.captured(1).simplified();
    const bool hasSize = !m.captured(2).isEmpty();
    const int size = m.captured(2).toInt();
    // Only the first word names the type: "INTEGER NOT NULL" does not reach here, but
    // "UNSIGNED BIG INT" does.
    ColumnType t;
    if (base.contains(QLatin1Char(' ')) && !base.startsWith(QLatin1String("UNSIGNED")) &&
        !base.startsWith(QLatin1String("DOUBLE")) && !base.startsWith(QLatin1String("CHARACTER")))
        base = base.section(QLatin1Char(' '), 0, 0);

    using K = ColumnType::Kind;
    const auto is = [&base](std::initializer_list<const char*> names) {
        return std::any_of(names.begin(), names.end(),
                           [&base](const char* name) { return base == QLatin1String(name); });
    };
    if (is({"TEXT", "CHAR", "VARCHAR", "NVARCHAR", "NCHAR", "CHARACTER", "STRING", "ALPHANUMERIC", "CHARACTER VARYING",
            "VARYING CHARACTER", "NATIVE CHARACTER"})) {
        t.kind = K::Text;
        // TEXT alone is a memo, as in SQLite; CHAR and VARCHAR alone hold 255 characters as in Jet.
        t.size = hasSize ? size : (base == QLatin1String("TEXT") ? 0 : 255);
    } else if (is({"MEMO", "LONGTEXT", "LONGCHAR", "NOTE", "CLOB", "NTEXT"})) {
        t.kind = K::Text;
        t.size = 0;
    } else if (is({"INTEGER", "INT", "BIGINT", "INT8", "UNSIGNED BIG INT"})) {
        t = integerType(kInt64Min, kInt64Max);
    } else if (is({"LONG", "INTEGER4", "INT4", "COUNTER", "AUTOINCREMENT", "MEDIUMINT"})) {
        t = integerType(std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());
    } else if (is({"SHORT", "SMALLINT", "INTEGER2", "INT2"})) {
        t = integerType(std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max());
    } else if (is({"BYTE", "TINYINT", "INTEGER1"})) {
        t = integerType(0, 255);
    } else if (is({"DOUBLE", "DOUBLE PRECISION", "REAL", "FLOAT", "FLOAT8", "FLOAT4", "SINGLE", "NUMBER", "NUMERIC",
                   "DECIMAL", "IEEESINGLE", "IEEEDOUBLE"})) {
        t.kind = K::Double;
    } else if (is({"CURRENCY", "MONEY"})) {
        t.kind = K::Double;
        t.currency = true;
    } else if (is({"YESNO", "BIT", "BOOLEAN", "BOOL", "LOGICAL", "LOGICAL1"})) {
        t.kind = K::Bool;
    } else if (is({"DATETIME", "DATE", "TIME", "TIMESTAMP"})) {
        t.kind = K::Date;
    }
    // SQLite's own affinity rule decides how text is stored.
    t.textAffinity = !upper.contains(QLatin1String("INT")) &&
                     (upper.contains(QLatin1String("CHAR")) || upper.contains(QLatin1String("CLOB")) ||
                      upper.contains(QLatin1String("TEXT")));
    t.declared = declared;
    return t;
}

namespace {

// "yyyy-MM-dd HH:mm:ss", written out by hand: the calendar's formatting is slow for a value per row.
QString storedText(const QDate& date, const QTime& time)
{
    char buffer[20];
    auto put = [&buffer](int at, int value, int width) {
        for (int i = width - 1; i >= 0; --i) {
            buffer[at + i] = char('0' + value % 10);
            value /= 10;
        }
    };
    put(0, date.year(), 4);
    buffer[4] = '-';
    put(5, date.month(), 2);
    buffer[7] = '-';
    put(8, date.day(), 2);
    buffer[10] = ' ';
    put(11, time.hour(), 2);
    buffer[13] = ':';
    put(14, time.minute(), 2);
    buffer[16] = ':';
    put(17, time.second(), 2);
    return QString::fromLatin1(buffer, 19);
}

bool parseStoredParts(const QString& text, QDate& dateOut, QTime& timeOut)
{
    const QStringView t(text);
    if (t.size() < 10)
        return false;
    const QDate date = QDate::fromString(t.left(10), Qt::ISODate);
    if (!date.isValid() || (t.size() > 10 && t[10] != QLatin1Char(' ') && t[10] != QLatin1Char('T')))
        return false;
    // Hours and minutes, then optional seconds and milliseconds.
    const QTime time = t.size() == 10 ? QTime(0, 0) : QTime::fromString(t.mid(11), Qt::ISODateWithMs);
    if (!time.isValid())
        return false;
    dateOut = date;
    timeOut = time;
    return true;
}

QDateTime dateTimeFromParts(bool (*parse)(const QString&, QDate&, QTime&), const QString& text)
{
    QDate date;
    QTime time;
    return parse(text, date, time) ? QDateTime(date, time) : QDateTime();
}

bool parseRegionalParts(const QString& text, QDate& dateOut, QTime& timeOut)
{
    const QString t = text.trimmed();
    if (parseStoredParts(t, dateOut, timeOut))
        return true;
    static const QRegularExpression re(QStringLiteral("^(\\d{1,4})[/.-](\\d{1,2})[/.-](\\d{1,4})(?:\\s+(.*))?$"));
    const auto m = re.match(t);
    if (!m.hasMatch()) {
        // A time alone is a time of the old engine's day zero.
        QTime time;
        if (t.contains(QLatin1Char(':')) && parseTime(t, time)) {
            dateOut = kSerialOrigin;
            timeOut = time;
            return true;
        }
        return false;
    }
    // Where the day, the month and the year are among the three numbers.
    std::array<int, 3> at{1, 2, 3};
    if (m.captured(1).size() == 4) {
        at = {3, 2, 1}; // year first whatever the settings say
    } else {
        const QString format = QLocale::system().dateFormat(QLocale::ShortFormat);
        const qsizetype d = format.indexOf(QLatin1Char('d'));
        const qsizetype mo = format.indexOf(QLatin1Char('M'));
        const qsizetype y = format.indexOf(QLatin1Char('y'));
        if (y >= 0 && y < d && y < mo)
            at = mo < d ? std::array{3, 2, 1} : std::array{2, 3, 1};
        else if (mo >= 0 && d >= 0 && mo < d)
            at = {2, 1, 3};
    }
    const QString dayText = m.captured(at[0]);
    const QString monthText = m.captured(at[1]);
    const QString yearText = m.captured(at[2]);
    if (dayText.size() > 2 || monthText.size() > 2 || yearText.size() == 3 || yearText.size() > 4)
        return false;
    const QDate date(fullYear(yearText), monthText.toInt(), dayText.toInt());
    QTime time;
    if (!date.isValid() || !parseTime(m.captured(4), time))
        return false;
    dateOut = date;
    timeOut = time;
    return true;
}

} // namespace

QString storedDate(const QDateTime& dateTime)
{
    return storedText(dateTime.date(), dateTime.time());
}

QDateTime parseStoredDate(const QString& text)
{
    return dateTimeFromParts(parseStoredParts, text);
}

QDateTime parseRegionalDate(const QString& text)
{
    return dateTimeFromParts(parseRegionalParts, text);
}

QVariant toStored(const QVariant& value, const ColumnType& type, DateMemo* memo)
{
    if (!value.isValid() || value.isNull())
        return {};
    using K = ColumnType::Kind;
    // Blank text is null in a number, yes/no or date column.
    if (type.kind != K::Text && type.kind != K::Other && value.typeId() == QMetaType::QString &&
        value.toString().trimmed().isEmpty())
        return {};
    switch (type.kind) {
    case K::Text: {
        const QString text = textOf(value);
        if (type.size > 0 && text.size() > type.size)
            throw MajError(err::FieldTooSmall);
        return text;
    }
    case K::Integer: {
        qint64 whole = 0;
        if (fmt::isWholeNumber(value.typeId())) {
            whole = value.toLongLong();
        } else {
            const double number = numberOf(value);
            // Halves go to the even neighbour, as the old engine rounded.
            const double rounded = std::nearbyint(number);
            if (rounded < -9.2233720368547758e18 || rounded >= 9.2233720368547758e18)
                conversionError();
            whole = qint64(rounded);
        }
        if (whole < type.minimum || whole > type.maximum)
            conversionError();
        return qlonglong(whole);
    }
    case K::Double: {
        if (value.typeId() == QMetaType::Double && !type.currency &&
            std::isfinite(*static_cast<const double*>(value.constData())))
            return value;
        double number = numberOf(value);
        if (type.currency)
            number = std::nearbyint(number * 10000.0) / 10000.0;
        return number;
    }
    case K::Bool: {
        if (value.typeId() == QMetaType::Bool)
            return qlonglong(value.toBool() ? 1 : 0);
        if (value.typeId() == QMetaType::QString) {
            const auto yes = parseYesNo(value.toString());
            if (!yes)
                conversionError();
            return qlonglong(*yes ? 1 : 0);
        }
        return qlonglong(numberOf(value) != 0 ? 1 : 0);
    }
    case K::Date: {
        QDateTime dt;
        switch (value.typeId()) {
        case QMetaType::QDateTime:
            dt = value.toDateTime();
            break;
        case QMetaType::QDate:
            dt = value.toDate().startOfDay();
            break;
        case QMetaType::QTime:
            dt = QDateTime(kSerialOrigin, value.toTime());
            break;
        case QMetaType::QString: {
            // Straight from the text to the stored text: no local time to work out.
            const QString text = value.toString();
            if (memo && text == memo->lastText && !memo->lastStored.isEmpty())
                return memo->lastStored;
            QDate date;
            QTime time;
            if (!parseRegionalParts(text, date, time) || date.year() < 100 || date.year() > 9999)
                conversionError();
            const QString stored = storedText(date, time);
            if (memo) {
                memo->lastText = text;
                memo->lastStored = stored;
            }
            return stored;
        }
        case QMetaType::Bool:
            conversionError();
        default:
            dt = fromSerial(numberOf(value));
            break;
        }
        if (!dt.isValid() || dt.date().year() < 100 || dt.date().year() > 9999)
            conversionError();
        return storedDate(dt);
    }
    case K::Other:
        switch (value.typeId()) {
        case QMetaType::Bool:
            return qlonglong(value.toBool() ? 1 : 0);
        case QMetaType::QDateTime:
            return storedDate(value.toDateTime());
        case QMetaType::QDate:
            return storedDate(value.toDate().startOfDay());
        default:
            return value;
        }
    }
    return value;
}

QVariant fromStored(const QVariant& stored, const ColumnType& type, DateMemo* memo)
{
    if (!stored.isValid() || stored.isNull())
        return {};
    using K = ColumnType::Kind;
    const int id = stored.typeId();
    switch (type.kind) {
    case K::Text:
        if (id == QMetaType::QString)
            return stored;
        if (id == QMetaType::QByteArray)
            return QString::fromUtf8(stored.toByteArray());
        if (id == QMetaType::Double)
            return QString::number(stored.toDouble(), 'g', 15);
        return stored.toString();
    case K::Integer:
        if (id == QMetaType::LongLong)
            return stored;
        if (id == QMetaType::Double) {
            const double d = stored.toDouble();
            if (d == std::trunc(d) && std::fabs(d) < 9.0e15)
                return qlonglong(d);
            return stored;
        }
        if (id == QMetaType::QString) {
            bool ok = false;
            const qlonglong whole = stored.toString().trimmed().toLongLong(&ok);
            if (ok)
                return whole;
        }
        return stored;
    case K::Double:
        if (id == QMetaType::Double)
            return stored;
        if (id == QMetaType::LongLong)
            return double(stored.toLongLong());
        if (id == QMetaType::QString) {
            bool ok = false;
            const double number = stored.toString().trimmed().toDouble(&ok);
            if (ok)
                return number;
        }
        return stored;
    case K::Bool:
        if (id == QMetaType::LongLong)
            return stored.toLongLong() != 0;
        if (id == QMetaType::Double)
            return stored.toDouble() != 0;
        if (id == QMetaType::QString) {
            if (const auto yes = parseYesNo(stored.toString()))
                return *yes;
        }
        return stored;
    case K::Date:
        if (id == QMetaType::QString) {
            // A local date and time costs a time-zone look-up each.
            const QString text = stored.toString();
            if (memo) {
                if (const auto it = memo->recent.constFind(text); it != memo->recent.constEnd())
                    return *it;
            }
            const QDateTime dt = parseStoredDate(text);
            if (dt.isValid()) {
                if (memo) {
                    if (memo->recent.size() >= 4096)
                        memo->recent.clear();
                    memo->recent.insert(text, dt);
                }
                return dt;
            }
        }
        return stored;
    case K::Other:
        return stored;
    }
    return stored;
}

QVariant readColumn(sqlite3_stmt* statement, int column, const ColumnType& type, DateMemo* memo)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_TEXT: {
        QString text = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                                         sqlite3_column_bytes(statement, column));
        if (type.kind == ColumnType::Kind::Text || type.kind == ColumnType::Kind::Other)
            return text;
        return fromStored(text, type, memo);
    }
    case SQLITE_INTEGER: {
        const qlonglong whole = sqlite3_column_int64(statement, column);
        if (type.kind == ColumnType::Kind::Integer || type.kind == ColumnType::Kind::Other)
            return whole;
        return fromStored(whole, type, memo);
    }
    case SQLITE_FLOAT: {
        const double number = sqlite3_column_double(statement, column);
        if (type.kind == ColumnType::Kind::Double || type.kind == ColumnType::Kind::Other)
            return number;
        return fromStored(number, type, memo);
    }
    default:
        return fromStored(QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, column)),
                                     sqlite3_column_bytes(statement, column)),
                          type, memo);
    }
}

} // namespace maj::jet
