#pragma once

#include "platform/jet/Snapshot.h"
#include "run/Form1Core.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// What the update would do on this installation, found by running its steps on a snapshot of the
// practice's files; the installation and the medium stay as they are.
namespace maj::preview {

// A file of the installation that the run saves into its backup folder ("save"), replaces by the
// release's ("replace": size, date and SHA-256 of the new file, `source` its Windows path), or
// reports missing ("missing").
struct FileAction
{
    QString path;
    QString action;
    qint64 size = 0;
    QDateTime modified;
    QByteArray sha256; // hex
    QString source;
};

// What inscritdate writes: the update's number and release date, on the run's day.
struct Registration
{
    QString number;
    QString releaseDate;
    QDate date;
    bool written = false; // false: the step would fail and say so
};

struct Report
{
    QString name; // empty: the census would write no report, and nothing would be sent
    QStringList lines;
};

struct Result
{
    QString release;
    QString releaseDate;
    bool authenticated = false; // SHA256.sig holds for one of the program's keys, and its files too
    QString key;                // the key that signed it
    QString refusal;            // why the run would refuse the release and change nothing; empty: it would not
    bool server = true;
    bool running = false; // praxidome has pat.mdb open: the run would refuse to start
    QList<FileAction> files;
    TableChanges codes;     // the code table's rows: added (code, abbreviation), changed, unchanged
    QStringList duplicates; // the lines the duplicate check lists, in its order
    Registration registration;
    Report report;
    bool tls = true;      // the report and the FTP login would travel encrypted (the build's MAJ_UPLOAD_TLS)
    QStringList messages; // what the run would show, in order
    QString stop;         // the failure that would stop the run ("61: Disque plein"), empty when it completes
};

// Runs this installation's update on a snapshot of its databases in a temporary drive c:, with the
// run settings `settings` gives, and tells what it changed. The log, the installation and the
// medium are left alone; nothing is sent. Throws MajError with a French description when it
// cannot be made (no release, a database missing or unreadable).
Result makePreview(Clock& clock, const std::function<void(Form1Core&)>& settings);

// The result in French, for a person, and as one JSON document (the README's fields).
QString frenchText(const Result& result);
QByteArray json(const Result& result);

} // namespace maj::preview
