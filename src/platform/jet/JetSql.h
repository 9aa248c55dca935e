#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <vector>

// The Jet SQL dialect the callers write, turned into SQLite's: [bracketed names], text in single
// or double quotes, #dates#, & for concatenation, True/False, Mod. Text compares as the old engine
// compared it: every text literal and column reference of a WHERE, HAVING, ON or GROUP BY clause
// (and of a criterion) takes the connection's JETNOCASE collation, which ignores letter case and
// keeps accents. Nothing of it reaches the files' schema.
namespace maj::jet {

struct Token
{
    enum class Type
    {
        Space,
        Word,
        Bracketed,
        String,
        Number,
        Date,
        Operator,
        End
    };
    Type type = Type::End;
    QString text;  // as written
    QString value; // the name without brackets, the text without quotes
};

// Throws the given error number on an unterminated text, name or date, or a character the dialect
// does not know.
std::vector<Token> tokenize(const QString& jet, int syntaxError);

QString quoteIdentifier(const QString& name);
QString quoteText(const QString& text);

// A select query as SQLite runs it (3075 when malformed: unbalanced parentheses, a second
// statement).
QString translateQuery(const QString& jet);
// A criterion (a WHERE clause without the word WHERE) as an SQLite expression (3077 when
// malformed). `column` may replace a column name by other SQL (a parameter); it returns an empty
// text to keep the name.
QString translateCriterion(const QString& jet, const std::function<QString(const QString&)>& column = {});

// "<column> = '<text>'" or "<column> Is Null": the forms an equality look-up serves.
struct SimpleEquality
{
    QString column;
    bool isNull = false;
    QString text;
    qsizetype comparison = 0; // where the comparison begins, after the column's name
};
std::optional<SimpleEquality> simpleCriterion(const QString& jet);

// "select * from <table> where <column> = '<text>'" or "... where <column> is null".
struct SimpleSelect
{
    QString table;
    SimpleEquality where;
};
std::optional<SimpleSelect> simpleSelect(const QString& jet);
// The comparison alone of such a criterion or query ("= '<text>'" or "Is Null", and the end), for
// one written as an earlier one up to its column's name; its column is left empty.
std::optional<SimpleEquality> simpleComparison(QStringView comparison);

// Whether a record source is a query: its first word, after any opening parentheses, is SELECT.
bool isSelectQuery(const QString& jet);

} // namespace maj::jet
