#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include <functional>

namespace maj {

// The program's log (c:\praxidome\maj.log): what each run did, for the maker's support. A run
// starts with a header line ("==== " and its moment); every line is appended and flushed at
// once, so that a killed run leaves what it wrote. UTF-8.
class RunLog
{
public:
    static constexpr qint64 kDefaultLimit = 1024 * 1024;

    // Opens the log for appending, having first dropped its oldest runs when it is more than
    // three quarters of `limit`, so that it stays below the limit. False when it cannot be
    // written (onFailure was told).
    bool open(const QString& windowsPath, qint64 limit = kDefaultLimit);
    // Starts a run: its header line goes first, then the lines written since the log was created.
    void beginRun(const QString& header);
    // One line, stamped with the time of day. Before beginRun() it waits for the header.
    void write(const QString& text);
    // The run's last line, with the status the program ends with.
    void endRun(int status) { write(QStringLiteral("fin du programme, statut ") + QString::number(status)); }

    // Told once, in French, when the log cannot be written; nothing more is written then.
    std::function<void(const QString&)> onFailure;

private:
    void append(const QString& line);
    // Tells the failure once; false, for open() to return.
    bool fail();

    QFile m_file;
    QString m_name;
    qint64 m_limit = kDefaultLimit;
    bool m_begun = false;
    bool m_failed = false;
    bool m_full = false;
    QStringList m_pending;
};

// The header's fields joined as the log shows them: "maj 8.6.8 · ...".
QString logHeader(const QStringList& fields);

} // namespace maj
