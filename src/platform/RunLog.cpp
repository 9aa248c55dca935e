#include "platform/RunLog.h"

#include "platform/FileSystem.h"
#include "platform/MajError.h"

#include <QDateTime>
#include <QSaveFile>

namespace maj {

namespace {

const QByteArray kRunStart = "==== ";

// What is left of the log once its oldest runs are dropped so that it holds at most `keep` bytes;
// a run is never cut in the middle.
QByteArray newestRuns(const QByteArray& log, qint64 keep)
{
    if (log.size() <= keep)
        return log;
    const qsizetype at = log.indexOf('\n' + kRunStart, log.size() - keep - 1);
    return at < 0 ? QByteArray() : log.mid(at + 1);
}

} // namespace

QString logHeader(const QStringList& fields)
{
    return fields.join(QStringLiteral(" · "));
}

bool RunLog::open(const QString& windowsPath, qint64 limit)
{
    m_limit = limit;
    m_name = windowsPath;
    QString hostPath;
    try {
        hostPath = fs::hostPath(windowsPath);
    } catch (const MajError&) {
        return fail();
    }
    m_file.setFileName(hostPath);
    if (m_file.exists() && m_file.size() > limit * 3 / 4) {
        if (!m_file.open(QIODevice::ReadOnly))
            return fail();
        const QByteArray kept = newestRuns(m_file.readAll(), limit / 2);
        m_file.close();
        QSaveFile trimmed(hostPath);
        if (!trimmed.open(QIODevice::WriteOnly) || trimmed.write(kept) != kept.size() || !trimmed.commit())
            return fail();
    }
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append))
        return fail();
    return true;
}

void RunLog::beginRun(const QString& header)
{
    m_begun = true;
    append(QString::fromLatin1(kRunStart) + QDateTime::currentDateTime().toString(Qt::ISODate) + QStringLiteral(" · ") +
           header);
    const QStringList pending = std::exchange(m_pending, {});
    for (const QString& line : pending)
        append(line);
}

void RunLog::write(const QString& text)
{
    const QString line = QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz ")) + text;
    // Lines from before the log was opened (the window's loading) wait for the header; a log
    // that is never begun keeps only the last few.
    if (!m_begun) {
        if (m_pending.size() >= 1000)
            m_pending.removeFirst();
        m_pending.append(line);
        return;
    }
    append(line);
}

void RunLog::append(const QString& line)
{
    if (m_failed || m_full || !m_file.isOpen())
        return;
    QByteArray bytes = line.toUtf8();
    bytes.replace('\n', " / ");
    bytes += '\n';
    // One run that writes too much must not take the log past its limit.
    if (m_file.size() + bytes.size() > m_limit - 128) {
        m_full = true;
        bytes = "(journal plein : la suite de cette exécution n'est pas écrite)\n";
    }
    if (m_file.write(bytes) != bytes.size() || !m_file.flush())
        fail();
}

bool RunLog::fail()
{
    if (m_failed)
        return false;
    m_failed = true;
    m_file.close();
    if (onFailure)
        onFailure(QStringLiteral("Le journal ") + m_name +
                  QStringLiteral(" n'a pu être écrit : la mise à jour continue sans journal."));
    return false;
}

} // namespace maj
