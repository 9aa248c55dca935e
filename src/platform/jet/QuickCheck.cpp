#include "platform/jet/QuickCheck.h"

#include "platform/jet/Sqlite.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <sqlite3.h>

#include <algorithm>
#include <memory>

namespace maj {

namespace {

using State = DatabaseHealth::State;

// A failed open or read: SQLite's own text for its result code, in French.
DatabaseHealth failure(int code)
{
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return {State::Busy, {}};
    case SQLITE_NOTADB:
        return {State::Damaged, QStringLiteral("le fichier n'est pas une base de données")};
    case SQLITE_CORRUPT:
        return {State::Damaged, QStringLiteral("l'image disque de la base de données est mal formée")};
    case SQLITE_IOERR:
        return {State::Unreadable, QStringLiteral("erreur d'entrée-sortie du disque")};
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
        return {State::Unreadable, QStringLiteral("impossible d'ouvrir le fichier de la base de données")};
    default:
        return {State::Unreadable, QStringLiteral("erreur %1 de SQLite").arg(code)};
    }
}

// quick_check's first finding in French; the ones it seldom gives are kept as SQLite writes them.
QString finding(QString text)
{
    text.remove(QStringLiteral("*** in database main ***")).replace(QLatin1Char('\n'), QLatin1Char(' '));
    text = text.trimmed();
    const struct
    {
        const char* pattern;
        const char* french;
    } known[] = {
        {R"(^Page (\d+): btreeInitPage\(\) returns error code \d+$)", "la page %1 est illisible"},
        {R"(^Page (\d+):? (?:is )?never used$)", "la page %1 n'est jamais utilisée"},
        {R"(^.*2nd reference to page (\d+)$)", "la page %1 est référencée deux fois"},
        {R"(^.*Rowid (\d+) out of order$)", "la ligne %1 est hors d'ordre"},
        {R"(^.*invalid page number (\d+)$)", "le numéro de page %1 est invalide"},
    };
    for (const auto& k : known) {
        const QRegularExpressionMatch m = QRegularExpression(QLatin1String(k.pattern)).match(text);
        if (!m.hasMatch())
            continue;
        QString french = QString::fromUtf8(k.french);
        for (int i = 1; i <= m.lastCapturedIndex(); ++i)
            french = french.arg(m.captured(i));
        return french;
    }
    return text;
}

} // namespace

DatabaseHealth checkDatabaseFile(const QString& hostPath)
{
    if (!QFileInfo::exists(hostPath))
        return {State::Absent, {}};
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(hostPath.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    const std::unique_ptr<sqlite3, sqlite::Closer> db(raw);
    if (rc != SQLITE_OK)
        return failure(rc);
    // quick_check walks the pages in tree order: on a cold disk, reading them in file order first is
    // many times faster, and the copy of the running-application check then reads from memory too.
    // The reads go through SQLite's own handle: closing another descriptor of the file would drop
    // the locks that this process's connections hold on it.
    sqlite3_file* file = nullptr;
    sqlite3_int64 size = 0;
    if (sqlite3_file_control(raw, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file || !file->pMethods ||
        file->pMethods->xFileSize(file, &size) != SQLITE_OK)
        return failure(SQLITE_IOERR);
    if (size == 0)
        return {State::Damaged, QStringLiteral("fichier vide : 0 octet")};
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (sqlite3_int64 at = 0; at < size; at += buffer.size()) {
        rc = file->pMethods->xRead(file, buffer.data(), int(std::min<sqlite3_int64>(buffer.size(), size - at)), at);
        if (rc != SQLITE_OK)
            return failure(rc);
    }
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_stmt* stmt = nullptr;
    rc = sqlite3_prepare_v2(raw, "PRAGMA quick_check", -1, &stmt, nullptr);
    const std::unique_ptr<sqlite3_stmt, sqlite::Finalizer> check(stmt);
    if (rc != SQLITE_OK)
        return failure(rc);
    QStringList findings;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        findings << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    if (findings == QStringList{QStringLiteral("ok")})
        return {};
    if (findings.isEmpty())
        return failure(rc == SQLITE_DONE ? SQLITE_CORRUPT : rc);
    return {State::Damaged,
            findings.size() == 1
                ? finding(findings.first())
                : QStringLiteral("%1 défauts, dont : %2").arg(findings.size()).arg(finding(findings.first()))};
}

} // namespace maj
