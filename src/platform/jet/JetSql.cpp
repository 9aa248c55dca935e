#include "platform/jet/JetSql.h"

#include "platform/jet/JetConnection.h"
#include "platform/jet/JetTypes.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <vector>

namespace maj::jet {

namespace {

bool isWordStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool isWordChar(QChar c)
{
    // No ASCII character is a mark: the table of marks is looked up for the others only.
    if (c.unicode() < 0x80)
        return c.isLetterOrNumber() || c == QLatin1Char('_');
    return c.isLetterOrNumber() || c.isMark();
}

// Words that are never column names in a condition.
const QSet<QString>& keywords()
{
    static const QSet<QString> words = [] {
        const QStringList list =
            QStringLiteral("AND OR NOT IS NULL LIKE GLOB IN BETWEEN EXISTS SELECT FROM WHERE GROUP BY HAVING ORDER ASC "
                           "DESC CASE WHEN THEN ELSE END CAST AS DISTINCT ALL UNION INTERSECT EXCEPT LIMIT OFFSET ON "
                           "JOIN INNER LEFT RIGHT OUTER CROSS NATURAL USING COLLATE ESCAPE TRUE FALSE MOD ANY SOME "
                           "CURRENT_DATE CURRENT_TIME CURRENT_TIMESTAMP DISTINCTROW XOR")
                .split(QLatin1Char(' '));
        return QSet<QString>(list.begin(), list.end());
    }();
    return words;
}

// A Jet date literal is month/day/year whatever the regional settings, or ISO.
QString dateLiteral(const QString& inside, int syntaxError)
{
    const QString t = inside.trimmed();
    QDateTime dt = parseStoredDate(t);
    if (!dt.isValid()) {
        static const QRegularExpression re(
            QStringLiteral("^(\\d{1,2})[/-](\\d{1,2})[/-](\\d{2}|\\d{4})(?:\\s+(\\d{1,2}):(\\d{2})(?::(\\d{2}))?)?$"));
        const auto m = re.match(t);
        if (m.hasMatch()) {
            int year = m.captured(3).toInt();
            if (m.captured(3).size() == 2)
                year += year < 30 ? 2000 : 1900;
            const QDate date(year, m.captured(1).toInt(), m.captured(2).toInt());
            const QTime time = m.captured(4).isEmpty()
                                   ? QTime(0, 0)
                                   : QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
            dt = QDateTime(date, time);
        }
    }
    if (!dt.isValid() || !dt.date().isValid() || !dt.time().isValid())
        throw MajError(syntaxError);
    return quoteText(storedDate(dt));
}

const Token* nextSignificant(const std::vector<Token>& tokens, size_t i)
{
    for (size_t j = i + 1; j < tokens.size(); ++j) {
        if (tokens[j].type != Token::Type::Space)
            return &tokens[j];
    }
    return nullptr;
}

const Token* previousSignificant(const std::vector<Token>& tokens, size_t i)
{
    for (size_t j = i; j-- > 0;) {
        if (tokens[j].type != Token::Type::Space)
            return &tokens[j];
    }
    return nullptr;
}

bool isOperator(const Token* t, const char* op)
{
    return t && t->type == Token::Type::Operator && t->text == QLatin1String(op);
}

bool isWord(const Token* t, const char* word)
{
    return t && t->type == Token::Type::Word && t->text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

const QString kCollate = QStringLiteral(" COLLATE JETNOCASE");

// Clause: which part of a statement a token is in; conditions and groupings compare text the
// old engine's way.
enum class Clause
{
    Other,
    Condition
};

QString translate(const QString& jet, bool criterion, int syntaxError,
                  const std::function<QString(const QString&)>& column)
{
    const std::vector<Token> tokens = tokenize(jet, syntaxError);
    QString out;
    out.reserve(jet.size() + 32);
    std::vector<Clause> stack{criterion ? Clause::Condition : Clause::Other};
    bool ended = false;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.type == Token::Type::End)
            break;
        if (ended) {
            if (t.type != Token::Type::Space)
                throw MajError(syntaxError);
            continue;
        }
        const bool condition = stack.back() == Clause::Condition;
        switch (t.type) {
        case Token::Type::Space:
            out += QLatin1Char(' ');
            break;
        case Token::Type::Word: {
            const QString upper = t.text.toUpper();
            if (upper == QLatin1String("WHERE") || upper == QLatin1String("HAVING") || upper == QLatin1String("ON") ||
                upper == QLatin1String("GROUP")) {
                stack.back() = Clause::Condition;
            } else if (upper == QLatin1String("SELECT") || upper == QLatin1String("FROM") ||
                       upper == QLatin1String("ORDER") || upper == QLatin1String("UNION") ||
                       upper == QLatin1String("LIMIT") || upper == QLatin1String("JOIN")) {
                stack.back() = Clause::Other;
            }
            // Jet's words that SQLite writes otherwise.
            static const QHash<QString, QString> sqliteWords = {
                {QStringLiteral("TRUE"), QStringLiteral("1")},
                {QStringLiteral("FALSE"), QStringLiteral("0")},
                {QStringLiteral("MOD"), QStringLiteral("%")},
                {QStringLiteral("DISTINCTROW"), QStringLiteral("DISTINCT")}};
            if (keywords().contains(upper)) {
                out += sqliteWords.value(upper, t.text);
                break;
            }
            [[fallthrough]];
        }
        case Token::Type::Bracketed: {
            const Token* next = nextSignificant(tokens, i);
            const Token* previous = previousSignificant(tokens, i);
            const bool function = isOperator(next, "(") && t.type == Token::Type::Word;
            const bool qualified = isOperator(next, ".") || isOperator(next, "!");
            const bool afterDot = isOperator(previous, ".") || isOperator(previous, "!");
            const bool typeName = isWord(previous, "AS");
            if (!function && !qualified && !afterDot && !typeName && column) {
                const QString replacement = column(t.value);
                if (!replacement.isEmpty()) {
                    out += replacement + (condition ? kCollate : QString());
                    break;
                }
            }
            out += t.type == Token::Type::Bracketed ? quoteIdentifier(t.value) : t.text;
            if (condition && !function && !qualified && !typeName && !isWord(next, "COLLATE"))
                out += kCollate;
            break;
        }
        case Token::Type::String:
            out += quoteText(t.value);
            if (condition && !isWord(nextSignificant(tokens, i), "COLLATE"))
                out += kCollate;
            break;
        case Token::Type::Number:
            out += t.text;
            break;
        case Token::Type::Date:
            out += dateLiteral(t.value, syntaxError);
            break;
        case Token::Type::Operator:
            if (t.text == QLatin1String("(")) {
                stack.push_back(stack.back());
                out += t.text;
            } else if (t.text == QLatin1String(")")) {
                if (stack.size() <= 1)
                    throw MajError(syntaxError);
                stack.pop_back();
                out += t.text;
            } else if (t.text == QLatin1String(";")) {
                if (criterion)
                    throw MajError(syntaxError);
                ended = true;
            } else if (t.text == QLatin1String("&")) {
                out += QLatin1String("||");
            } else if (t.text == QLatin1String("!")) {
                out += QLatin1Char('.');
            } else {
                // Keep "- -" and "/ *" apart: SQLite would read them as comments.
                if ((t.text == QLatin1String("-") || t.text == QLatin1String("*")) && !out.isEmpty() &&
                    (out.back() == QLatin1Char('-') || out.back() == QLatin1Char('/')))
                    out += QLatin1Char(' ');
                out += t.text;
            }
            break;
        case Token::Type::End:
            break;
        }
    }
    if (stack.size() != 1 || out.trimmed().isEmpty())
        throw MajError(syntaxError);
    return out;
}

// The probe forms, read by one expression rather than by the tokenizer: a step opens one per row,
// and it must cost little more than its look-up. A name is [bracketed] or a word; the comparison
// is "= '<text>'" (or a double-quoted text) or "Is Null".
const QString kName = QStringLiteral("(\\[[^\\]]+\\]|[\\p{L}_]\\w*)");
const QString kComparison = QStringLiteral("(?:\\s*=\\s*('(?:[^']|'')*'|\"(?:[^\"]|\"\")*\")|\\s+is\\s+null)");
constexpr auto kProbeOptions =
    QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption;

// The name a captured name stands for; none when it is a keyword.
std::optional<QString> nameOf(QStringView captured)
{
    if (captured.startsWith(QLatin1Char('[')))
        return captured.mid(1, captured.size() - 2).toString();
    const QString word = captured.toString();
    if (keywords().contains(word.toUpper()))
        return std::nullopt;
    return word;
}

std::optional<SimpleEquality> equality(const QRegularExpressionMatch& m, int column)
{
    std::optional<QString> name = column > 0 ? nameOf(m.capturedView(column)) : QString();
    if (!name)
        return std::nullopt;
    const QStringView quoted = m.capturedView(column + 1);
    if (quoted.isEmpty())
        return SimpleEquality{std::move(*name), true, {}, m.capturedEnd(column)};
    const QString quote = quoted.left(1).toString();
    return SimpleEquality{std::move(*name), false,
                          quoted.mid(1, quoted.size() - 2).toString().replace(quote + quote, quote),
                          m.capturedEnd(column)};
}

} // namespace

std::vector<Token> tokenize(const QString& jet, int syntaxError)
{
    std::vector<Token> tokens;
    const qsizetype n = jet.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = jet[i];
        Token t;
        const qsizetype start = i;
        if (c.isSpace()) {
            while (i < n && jet[i].isSpace())
                ++i;
            t.type = Token::Type::Space;
        } else if (isWordStart(c)) {
            while (i < n && isWordChar(jet[i]))
                ++i;
            t.type = Token::Type::Word;
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && jet[i + 1].isDigit())) {
            while (i < n && jet[i].isDigit())
                ++i;
            if (i < n && jet[i] == QLatin1Char('.')) {
                ++i;
                while (i < n && jet[i].isDigit())
                    ++i;
            }
            if (i < n && (jet[i] == QLatin1Char('e') || jet[i] == QLatin1Char('E'))) {
                qsizetype j = i + 1;
                if (j < n && (jet[j] == QLatin1Char('+') || jet[j] == QLatin1Char('-')))
                    ++j;
                if (j < n && jet[j].isDigit()) {
                    i = j;
                    while (i < n && jet[i].isDigit())
                        ++i;
                }
            }
            if (i < n && isWordStart(jet[i]))
                throw MajError(syntaxError);
            t.type = Token::Type::Number;
        } else if (c == QLatin1Char('[')) {
            const qsizetype close = jet.indexOf(QLatin1Char(']'), i + 1);
            if (close < 0 || close == i + 1)
                throw MajError(syntaxError);
            t.type = Token::Type::Bracketed;
            t.value = jet.mid(i + 1, close - i - 1);
            i = close + 1;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            ++i;
            QString value;
            bool closed = false;
            while (i < n) {
                if (jet[i] == c) {
                    if (i + 1 < n && jet[i + 1] == c) {
                        value += c;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += jet[i++];
            }
            if (!closed)
                throw MajError(syntaxError);
            t.type = Token::Type::String;
            t.value = value;
        } else if (c == QLatin1Char('#')) {
            const qsizetype close = jet.indexOf(QLatin1Char('#'), i + 1);
            if (close < 0)
                throw MajError(syntaxError);
            t.type = Token::Type::Date;
            t.value = jet.mid(i + 1, close - i - 1);
            i = close + 1;
        } else {
            static const QStringList two = {QStringLiteral("<="), QStringLiteral(">="), QStringLiteral("<>"),
                                            QStringLiteral("!="), QStringLiteral("||")};
            static const QString one = QStringLiteral("=<>+-*/(),.&;!%");
            const QString pair = jet.mid(i, 2);
            if (two.contains(pair)) {
                i += 2;
            } else if (one.contains(c)) {
                ++i;
            } else {
                throw MajError(syntaxError);
            }
            t.type = Token::Type::Operator;
        }
        t.text = jet.mid(start, i - start);
        if (t.type == Token::Type::Word)
            t.value = t.text;
        tokens.push_back(std::move(t));
    }
    tokens.push_back(Token{});
    return tokens;
}

QString quoteIdentifier(const QString& name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QString quoteText(const QString& text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

QString translateQuery(const QString& jet)
{
    return translate(jet, false, err::QuerySyntax, {});
}

QString translateCriterion(const QString& jet, const std::function<QString(const QString&)>& column)
{
    return translate(jet, true, err::ExpressionSyntax, column);
}

std::optional<SimpleEquality> simpleCriterion(const QString& jet)
{
    static const QRegularExpression form(QStringLiteral("^\\s*") + kName + kComparison + QStringLiteral("\\s*$"),
                                         kProbeOptions);
    const auto m = form.match(jet);
    return m.hasMatch() ? equality(m, 1) : std::nullopt;
}

std::optional<SimpleSelect> simpleSelect(const QString& jet)
{
    static const QRegularExpression form(QStringLiteral("^\\s*select\\s*\\*\\s*from(?:\\s+|(?=\\[))") + kName +
                                             QStringLiteral("\\s+where\\s+") + kName + kComparison +
                                             QStringLiteral("\\s*;?\\s*$"),
                                         kProbeOptions);
    const auto m = form.match(jet);
    if (!m.hasMatch())
        return std::nullopt;
    auto table = nameOf(m.capturedView(1));
    auto where = equality(m, 2);
    if (!table || !where)
        return std::nullopt;
    return SimpleSelect{std::move(*table), std::move(*where)};
}

std::optional<SimpleEquality> simpleComparison(QStringView comparison)
{
    // Read by hand: a step makes one such comparison per row, and matching an expression cost
    // more than the look-up it serves.
    QStringView c = comparison.trimmed();
    if (c.endsWith(QLatin1Char(';')))
        c = c.chopped(1).trimmed();
    if (c.startsWith(QLatin1Char('='))) {
        c = c.mid(1).trimmed();
        if (c.size() < 2 || (c.front() != QLatin1Char('\'') && c.front() != QLatin1Char('"')) || c.back() != c.front())
            return std::nullopt;
        const QChar quote = c.front();
        QString text;
        for (qsizetype i = 1; i < c.size() - 1; ++i) {
            if (c[i] == quote && (i + 1 >= c.size() - 1 || c[++i] != quote))
                return std::nullopt; // a quote inside must be doubled
            text += c[i];
        }
        return SimpleEquality{{}, false, std::move(text)};
    }
    // "Is Null", after a blank: without one the column's name would go on.
    if (comparison.isEmpty() || !comparison.front().isSpace())
        return std::nullopt;
    const QStringList words = c.toString().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() == 2 && words[0].compare(QLatin1String("is"), Qt::CaseInsensitive) == 0 &&
        words[1].compare(QLatin1String("null"), Qt::CaseInsensitive) == 0)
        return SimpleEquality{{}, true, {}};
    return std::nullopt;
}

bool isSelectQuery(const QString& jet)
{
    // Looked at for every record source opened: no expression to match.
    qsizetype i = 0;
    while (i < jet.size() && (jet[i].isSpace() || jet[i] == QLatin1Char('(')))
        ++i;
    const QStringView word = QStringView(jet).mid(i, 7);
    return word.left(6).compare(QLatin1String("select"), Qt::CaseInsensitive) == 0 &&
           (word.size() == 6 || !isWordChar(word[6]));
}

} // namespace maj::jet
