#pragma once

#include "run/Form1Core.h"

#include <QDateTime>
#include <QStringList>

#include <vector>

namespace maj {
class Engine;
class MajError;
} // namespace maj

// The backup set of a run: verified copies of the files it changes, the manifest that records
// them and how the run ended, and putting them back. Windows paths; failures throw MajError.
namespace maj::deploy {

// The files a backup set may hold, in the order the run saves them, each at its own path;
// `optional`: a database some installations lack, recorded as absent (to put it back is to remove
// it). A copy in a backup folder bears the name of its file (copyName).
struct SetFile
{
    QString path;
    bool optional;
};
const std::vector<SetFile>& backupSet();
QString copyName(const QString& path);

// What a backup folder's manifest (manifeste.ini) records.
struct Manifest
{
    QString folder;       // "c:\MAJ2026712153022"
    bool readable = true; // false: not an INI file, or a value this program never writes
    QDateTime started;
    QString kind; // "update", or "restore" for the files a restore replaced
    QString release;
    QString releaseDate;
    QString station;
    QString computer;
    QString program;
    std::vector<SavedFile> files;
    // Empty while the run goes on: "completed", "failed", "restored" (failed, then put back) or
    // "interrupted" (found without an end by a later start).
    QString outcome;
    QDateTime finished;
    int errorNumber = 0;
    QString errorText;
};

// Writes the whole manifest at once (an interruption leaves the previous one); 75 when it cannot.
void writeManifest(const Manifest& manifest);
// Throws, in French, for a folder that does not exist (76), that cannot be read (70) or that holds
// no manifest (53). A manifest it cannot parse comes back not readable: see manifestFault().
Manifest readManifest(const QString& folder);
// Why a manifest cannot be acted on, in French and naming its line; empty when it can. A manifest
// may name only files of the backup set, once each, each with the copy of its own name; it must
// name at least one, with its hashes, and when `needEnd`, each one's hash at the run's end.
QString manifestFault(const Manifest& manifest, bool needEnd);
// The backup folders (c:\MAJ...) that hold a manifest, newest first; those that manifestFault()
// refuses among them, placed by the manifest's date of change.
std::vector<Manifest> listBackups();
// Records as interrupted every run whose manifest has no end. Refused ones are never rewritten.
void markInterrupted();
// The same at the opening: a failure is shown and the opening goes on.
void markInterrupted(Form1Core& f);

// Copies a file into a folder under `copyName`, a database made consistent first. One read of the
// original serves the copy and its SHA-256; the copy counts only once it reads back to the same
// SHA-256 (75 otherwise).
SavedFile saveFile(Engine& engine, const QString& path, const QString& folder, const QString& copyName);
// The SHA-256 of a file as it is now, a database made consistent first; "absent" when it does
// not exist.
QByteArray currentSha256(Engine& engine, const QString& path);

// Puts files back from a folder: each copy is written beside its original and checked against its
// recorded SHA-256, all of them before any original is replaced (a damaged copy replaces nothing);
// then each is renamed over its original, a database's journal removed just before. A file that
// did not exist is removed. Appends to `done` each file put back; returns why it stopped, in French
// (empty: all put back). The program must hold none of the files.
QString putBack(Engine& engine, const QString& folder, const std::vector<SavedFile>& files,
                QStringList* done = nullptr);

// What restore() did. Nothing was replaced unless `outcome` is PutBack or Failed with `putBack`.
struct Restoration
{
    enum Outcome
    {
        PutBack,     // every file that differed from the set
        NothingToDo, // every file is as in the set
        InUse,       // another process holds a file: praxidome runs
        Refused,     // a file changed since the set's run ended, or a copy is missing or no longer matches
        Failed,      // a file or a copy could not be read, or a file could not be saved or put back
    } outcome = PutBack;
    QString why; // in French, naming the files put back and not
    QStringList putBack;
    QStringList notPutBack;
    QString savedIn;     // the new backup folder of the files replaced
    QString notRecorded; // why its end could not be recorded, in French
};
// Puts a backup set back as `source` records it: refuses while another process holds one of its
// files, when one changed since its run ended (unless `force`; a file already as before the run is
// no change) or a copy is missing, unreadable or no longer matches; logs each file it saves, puts
// back and does not, its failure and its end; with
// `saveCurrent`, saves the files it replaces into a new backup folder first (kind "restore"); puts
// back those that differ, then records its end, in the new folder's manifest or else in
// `source`'s. Its failures come back in what it returns, whole, also when its end could not be recorded.
Restoration restore(Engine& engine, const Clock& clock, RunLog& log, const Manifest& source, bool force,
                    bool saveCurrent);

// The run's manifest as the context knows it (the set saved so far, no end).
Manifest runManifest(const Form1Core& f);
// Records how the run ended (once), with every file's SHA-256 as the run left it; the manifest
// recorded. The program lets go of every database first. Shows its own message when the manifest
// cannot be written.
Manifest recordRunEnd(Form1Core& f, bool failed = false, const MajError* failure = nullptr);
// After a failure that stopped the run (null: a file that could not be saved stopped it): records
// the run's end as failed; when the run changed a file of its set, asks whether to put praxidome
// back as it was, and does so. The exit status the program ends with.
ExitStatus offerUndo(Form1Core& f, const MajError* failure);

} // namespace maj::deploy
