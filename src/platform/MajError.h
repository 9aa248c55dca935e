#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

namespace maj {

// Error numbers of the old platform that the handlers test (runtime and database numbering).
namespace err {
constexpr int BadFileName = 52;
constexpr int FileNotFound = 53;
constexpr int FileAlreadyExists = 58;
constexpr int DiskFull = 61;
constexpr int PermissionDenied = 70;
constexpr int PathFileAccess = 75;
constexpr int PathNotFound = 76;
constexpr int ObjectNotSet = 91;
constexpr int PrinterError = 482;
constexpr int Reserved = 3000;
constexpr int TableExists = 3010;
constexpr int NoAddOrEdit = 3020;
constexpr int NoCurrentRecord = 3021;
constexpr int DuplicateKey = 3022;
constexpr int DatabaseNotFound = 3024;
constexpr int ReadOnly = 3027;
constexpr int DiskOrNetwork = 3043;
constexpr int NotAValidPath = 3044;
constexpr int Corrupt = 3049;
constexpr int CannotOpenFile = 3051;
constexpr int TooFewParameters = 3061;
constexpr int UnknownField = 3070;
constexpr int QuerySyntax = 3075;
constexpr int ExpressionSyntax = 3077;
constexpr int TableNotFound = 3078;
constexpr int UndefinedFunction = 3085;
constexpr int FieldTooSmall = 3163;
constexpr int FieldDefinedTwice = 3191;
constexpr int ItemNotFound = 3265;
constexpr int AlterSyntax = 3293;
constexpr int NullNotAllowed = 3314;
constexpr int ValidationRule = 3317;
constexpr int UnrecognizedFormat = 3343;
constexpr int ConversionError = 3421;
} // namespace err

// French text of an error number, as the handlers show it ("Fichier introuvable").
QString standardDescription(int number);

// The one error type of the program: a number on the old platform's numbering and a French
// description. Thrown by the platform layer, caught by each step (its failure message) and by the
// event-handler boundary.
class MajError : public std::exception
{
public:
    // An empty description takes the standard text of the number.
    explicit MajError(int number, QString description = {});

    int number() const noexcept { return m_number; }
    const QString& description() const noexcept { return m_description; }
    // "53: Fichier introuvable"
    QString numberAndDescription() const;
    const char* what() const noexcept override { return m_what.constData(); }

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};

// Thrown by UiServices::endProgram(). Deliberately not a std::exception: only the event-handler
// boundary catches it, so no step's failure handling can swallow the end of the program.
struct ProgramEnded
{
};

} // namespace maj
