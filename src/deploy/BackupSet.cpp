#include "deploy/BackupSet.h"

#include "deploy/Deploy.h"
#include "deploy/Files.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/MajError.h"
#include "platform/Sha256.h"
#include "platform/jet/Database.h"
#include "run/Step.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QSysInfo>

#include <algorithm>

namespace maj::deploy {

namespace {

// What a file's SHA-256 "as the run left it" says when there is no content to hash.
const QByteArray kAbsent = "absent";
const QByteArray kUnreadable = "illisible";

// The texts of a manifest's [run], by key.
const std::pair<const char*, QString Manifest::*> kRunTexts[] = {
    {"kind", &Manifest::kind},       {"release", &Manifest::release},   {"releaseDate", &Manifest::releaseDate},
    {"station", &Manifest::station}, {"computer", &Manifest::computer}, {"program", &Manifest::program}};

QString join(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('\\')) ? folder + name : folder + QLatin1Char('\\') + name;
}

bool isDatabase(const QString& path)
{
    return path.endsWith(QLatin1String(".mdb"), Qt::CaseInsensitive);
}

QString journalOf(const QString& path)
{
    return path + QStringLiteral("-journal");
}

// What currentSha256() gave before the run: the copy's SHA-256, or "absent".
QByteArray sha256Before(const SavedFile& file)
{
    return file.existed ? file.sha256 : kAbsent;
}

QString manifestPath(const QString& folder)
{
    return join(folder, QStringLiteral("manifeste.ini"));
}

// The files `files` name as they are now, in a new backup folder of their own (kind "restore").
Manifest saveCurrent(Engine& engine, const Clock& clock, RunLog& log, const Manifest& source,
                     const std::vector<SavedFile>& files)
{
    Manifest saved;
    saved.kind = QStringLiteral("restore");
    saved.started = clock.now();
    saved.release = QStringLiteral(MAJ_VERSION);
    saved.station = source.station;
    saved.computer = QSysInfo::machineHostName();
    saved.program = QStringLiteral(MAJ_VERSION);
    // Two restores within a second: the next free name.
    for (int second = 0; saved.folder.isEmpty(); ++second) {
        const QString name = backupFolderName(saved.started.addSecs(second));
        if (!fs::folderExists(name) && !fs::fileExists(name)) {
            fs::createFolder(name);
            saved.folder = name;
        }
    }
    log.write(QStringLiteral("dossier de sauvegarde : ") + saved.folder);
    for (const SavedFile& file : files) {
        SavedFile current{file.path, file.copy, false, 0, {}, {}};
        if (fs::fileExists(file.path)) {
            current = saveFile(engine, file.path, saved.folder, file.copy);
            log.write(QStringLiteral("sauvegarde de %1 dans %2 : %3, vérifiée")
                          .arg(file.path, saved.folder, fmt::size(current.size)));
        }
        saved.files.push_back(current);
        writeManifest(saved);
    }
    return saved;
}

} // namespace

void writeManifest(const Manifest& m)
{
    const QString path = manifestPath(m.folder);
    QSettings ini(fs::hostPath(path), QSettings::IniFormat);
    ini.clear();
    ini.beginGroup(QStringLiteral("run"));
    ini.setValue(QStringLiteral("started"), m.started.toString(Qt::ISODate));
    for (const auto& [key, text] : kRunTexts)
        ini.setValue(QLatin1String(key), m.*text);
    ini.endGroup();
    ini.beginWriteArray(QStringLiteral("files"), int(m.files.size()));
    for (int i = 0; i < int(m.files.size()); ++i) {
        const SavedFile& file = m.files[size_t(i)];
        ini.setArrayIndex(i);
        ini.setValue(QStringLiteral("path"), file.path);
        ini.setValue(QStringLiteral("copy"), file.copy);
        ini.setValue(QStringLiteral("existed"), file.existed);
        ini.setValue(QStringLiteral("size"), file.size);
        ini.setValue(QStringLiteral("sha256"), QString::fromLatin1(file.sha256));
    }
    ini.endArray();
    if (!m.outcome.isEmpty()) {
        ini.beginGroup(QStringLiteral("end"));
        ini.setValue(QStringLiteral("outcome"), m.outcome);
        if (m.finished.isValid())
            ini.setValue(QStringLiteral("finished"), m.finished.toString(Qt::ISODate));
        if (m.errorNumber != 0) {
            ini.setValue(QStringLiteral("error"), m.errorNumber);
            ini.setValue(QStringLiteral("text"), m.errorText);
        }
        ini.beginWriteArray(QStringLiteral("files"), int(m.files.size()));
        for (int i = 0; i < int(m.files.size()); ++i) {
            ini.setArrayIndex(i);
            ini.setValue(QStringLiteral("sha256"), QString::fromLatin1(m.files[size_t(i)].sha256AtEnd));
        }
        ini.endArray();
        ini.endGroup();
    }
    ini.sync();
    if (ini.status() != QSettings::NoError)
        throw MajError(err::PathFileAccess,
                       QStringLiteral("Le manifeste ") + path + QStringLiteral(" n'a pu être écrit"));
}

Manifest readManifest(const QString& folder)
{
    if (!fs::folderExists(folder))
        throw MajError(err::PathNotFound,
                       QStringLiteral("Le dossier de sauvegarde ") + folder + QStringLiteral(" n'existe pas"));
    const QFileInfo dir(fs::hostPath(folder));
    if (!dir.isReadable() || !dir.isExecutable())
        throw MajError(err::PermissionDenied,
                       QStringLiteral("Le dossier de sauvegarde ") + folder + QStringLiteral(" n'a pu être lu"));
    if (!fs::fileExists(manifestPath(folder)))
        throw MajError(err::FileNotFound,
                       QStringLiteral("Le dossier ") + folder + QStringLiteral(" ne contient pas de manifeste"));
    // QSettings reads most garbage without complaint: what it could not parse shows as missing
    // keys, which manifestFault() refuses.
    QSettings ini(fs::hostPath(manifestPath(folder)), QSettings::IniFormat);
    Manifest m;
    m.folder = folder;
    m.readable = ini.status() == QSettings::NoError;
    ini.beginGroup(QStringLiteral("run"));
    m.started = QDateTime::fromString(ini.value(QStringLiteral("started")).toString(), Qt::ISODate);
    for (const auto& [key, text] : kRunTexts)
        m.*text = ini.value(QLatin1String(key)).toString();
    ini.endGroup();
    const int count = ini.beginReadArray(QStringLiteral("files"));
    for (int i = 0; i < count; ++i) {
        ini.setArrayIndex(i);
        const QString existed = ini.value(QStringLiteral("existed")).toString();
        m.readable = m.readable && (existed == QLatin1String("true") || existed == QLatin1String("false"));
        SavedFile file;
        file.path = ini.value(QStringLiteral("path")).toString();
        file.copy = ini.value(QStringLiteral("copy")).toString();
        file.existed = existed == QLatin1String("true");
        file.size = ini.value(QStringLiteral("size")).toLongLong();
        file.sha256 = ini.value(QStringLiteral("sha256")).toString().toLatin1();
        m.files.push_back(file);
    }
    ini.endArray();
    ini.beginGroup(QStringLiteral("end"));
    m.outcome = ini.value(QStringLiteral("outcome")).toString();
    m.finished = QDateTime::fromString(ini.value(QStringLiteral("finished")).toString(), Qt::ISODate);
    m.errorNumber = ini.value(QStringLiteral("error"), 0).toInt();
    m.errorText = ini.value(QStringLiteral("text")).toString();
    const int ends = std::min(ini.beginReadArray(QStringLiteral("files")), count);
    for (int i = 0; i < ends; ++i) {
        ini.setArrayIndex(i);
        m.files[size_t(i)].sha256AtEnd = ini.value(QStringLiteral("sha256")).toString().toLatin1();
    }
    ini.endArray();
    ini.endGroup();
    return m;
}

const std::vector<SetFile>& backupSet()
{
    static const std::vector<SetFile> files{
        {Installation::programFile(), false},      {Installation::helpPage(), false},
        {Installation::settingsDatabase(), false}, {Installation::patientDatabase(), false},
        {Installation::annexDatabase(), true},     {Installation::codesDatabase(), true}};
    return files;
}

QString copyName(const QString& path)
{
    return path.section(QLatin1Char('\\'), -1);
}

QString manifestFault(const Manifest& m, bool needEnd)
{
    const QString incomplete =
        QStringLiteral("Le manifeste ") + manifestPath(m.folder) + QStringLiteral(" est illisible ou incomplet");
    static const QRegularExpression sha256(QStringLiteral("^[0-9a-f]{64}$"));
    if (!m.readable || !m.started.isValid() || m.files.empty() ||
        (m.kind != QLatin1String("update") && m.kind != QLatin1String("restore")))
        return incomplete;
    // Exact paths only: a manifest of this program never writes them otherwise, and another letter
    // case would name a new file where the original is missing.
    QStringList seen;
    for (size_t i = 0; i < m.files.size(); ++i) {
        const SavedFile& file = m.files[i];
        const QString line = QStringLiteral("%1\\%2=%3").arg(i + 1);
        QString why;
        if (std::none_of(backupSet().cbegin(), backupSet().cend(),
                         [&](const SetFile& set) { return set.path == file.path; }))
            why = line.arg(QStringLiteral("path"), file.path) +
                  QStringLiteral(" » nomme un fichier que la mise à jour ne sauvegarde pas");
        else if (seen.contains(file.path))
            why = line.arg(QStringLiteral("path"), file.path) + QStringLiteral(" » nomme ce fichier une seconde fois");
        else if (file.copy != copyName(file.path))
            why = line.arg(QStringLiteral("copy"), file.copy) +
                  QStringLiteral(" » nomme une copie qui n'est pas celle de ") + file.path;
        if (!why.isEmpty())
            return QStringLiteral("Le manifeste ") + manifestPath(m.folder) +
                   QStringLiteral(" est refusé, sa ligne « [files] ") + why;
        seen.append(file.path);
        if ((file.existed && !sha256.match(QString::fromLatin1(file.sha256)).hasMatch()) ||
            (needEnd && file.sha256AtEnd.isEmpty()))
            return incomplete;
    }
    return {};
}

std::vector<Manifest> listBackups()
{
    std::vector<Manifest> found;
    const QDir root(fs::hostPath(QStringLiteral("c:\\")));
    for (const QString& name : root.entryList({QStringLiteral("MAJ*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!QFileInfo(root.filePath(name + QStringLiteral("/manifeste.ini"))).isFile())
            continue;
        try {
            found.push_back(readManifest(QStringLiteral("c:\\") + name));
        } catch (const MajError&) {
            // A folder that cannot be read is not one to list.
        }
    }
    const auto moment = [](const Manifest& m) {
        return manifestFault(m, false).isEmpty() ? m.started
                                                 : QFileInfo(fs::hostPath(manifestPath(m.folder))).lastModified();
    };
    std::sort(found.begin(), found.end(), [&](const Manifest& a, const Manifest& b) {
        const QDateTime first = moment(a), second = moment(b);
        return first != second ? first > second : a.folder > b.folder;
    });
    return found;
}

void markInterrupted()
{
    for (Manifest& m : listBackups()) {
        if (!m.outcome.isEmpty() || !manifestFault(m, false).isEmpty())
            continue;
        m.outcome = QStringLiteral("interrupted");
        writeManifest(m);
    }
}

void markInterrupted(Form1Core& f)
{
    runStep(
        f, "manifestes", [] { markInterrupted(); }, [&](const MajError& e) { f.ui.message(e.description()); });
}

SavedFile saveFile(Engine& engine, const QString& path, const QString& folder, const QString& copyName)
{
    const QString copy = join(folder, copyName);
    Sha256 digest;
    deployFile(engine, path, copy, &digest);
    SavedFile saved;
    saved.path = path;
    saved.copy = copyName;
    saved.sha256 = digest.hex();
    saved.size = QFileInfo(fs::hostPath(copy)).size();
    if (fs::sha256(copy) != saved.sha256)
        throw MajError(err::PathFileAccess,
                       QStringLiteral("La copie ") + copy + QStringLiteral(" diffère de l'original ") + path);
    return saved;
}

QByteArray currentSha256(Engine& engine, const QString& path)
{
    if (!fs::fileExists(path))
        return kAbsent;
    if (isDatabase(path))
        engine.prepareCopy(path);
    return fs::sha256(path);
}

QString putBack(Engine& engine, const QString& folder, const std::vector<SavedFile>& files, QStringList* done)
{
    std::vector<std::unique_ptr<fs::StagedCopy>> staged;
    try {
        for (const SavedFile& file : files) {
            if (!file.existed) {
                staged.emplace_back();
                continue;
            }
            // A journal a failure left is rolled back while it still sits beside its own database;
            // where that cannot be done it is removed just before the rename below.
            if (isDatabase(file.path) && fs::fileExists(journalOf(file.path))) {
                try {
                    engine.prepareCopy(file.path);
                } catch (const MajError&) {
                    // Nothing is lost: the database is replaced whole, and its journal removed first.
                }
            }
            const QString copy = join(folder, file.copy);
            Sha256 digest;
            try {
                staged.push_back(std::make_unique<fs::StagedCopy>(copy, file.path, &digest));
            } catch (const MajError& e) {
                throw MajError(e.number(), QStringLiteral("%1 n'a pu être écrit à partir de la copie %2 (%3)")
                                               .arg(file.path, copy, e.description()));
            }
            if (digest.hex() != file.sha256)
                throw MajError(err::PathFileAccess,
                               QStringLiteral("la copie ") + copy + QStringLiteral(" a changé depuis la sauvegarde"));
        }
        for (size_t i = 0; i < files.size(); ++i) {
            const QString& path = files[i].path;
            if (fs::isInUseElsewhere(path))
                throw MajError(err::PermissionDenied, path + QStringLiteral(" est ouvert par un autre programme"));
            // SQLite would play a journal left beside the database into the copy put back.
            if (isDatabase(path) && fs::fileExists(journalOf(path)))
                fs::deleteFile(journalOf(path));
            try {
                if (staged[i])
                    staged[i]->replaceTarget();
                else if (fs::fileExists(path))
                    fs::deleteFile(path);
            } catch (const MajError& e) {
                throw MajError(e.number(), path +
                                               (staged[i] ? QStringLiteral(" n'a pu être remplacé (")
                                                          : QStringLiteral(" n'a pu être supprimé (")) +
                                               e.description() + QLatin1Char(')'));
            }
            if (done)
                done->append(path);
        }
    } catch (const MajError& e) {
        return e.description();
    }
    return {};
}

Restoration restore(Engine& engine, const Clock& clock, RunLog& log, const Manifest& source, bool force,
                    bool saveCurrent)
{
    using R = Restoration;
    const auto stop = [](R::Outcome outcome, const QString& why = {}) {
        R r;
        r.outcome = outcome;
        r.why = why;
        return r;
    };
    const QString nothingDone = Installation::nothingPutBack();
    for (const SavedFile& file : source.files) {
        if (fs::isInUseElsewhere(file.path))
            return stop(R::InUse, QStringLiteral("Praxidome semble être en fonctionnement (") + file.path +
                                      QStringLiteral(" est ouvert) : fermez le programme sur tous les postes puis "
                                                     "recommencez. Rien n'a été remis en place."));
    }
    Restoration r;
    std::vector<SavedFile> toPutBack;
    for (const SavedFile& file : source.files) {
        // Without a save of the current files, this is the window's undo, just after the run's end
        // was recorded: those hashes are the files' own, and reading them again would double the work.
        QByteArray current = file.sha256AtEnd;
        try {
            if (saveCurrent)
                current = currentSha256(engine, file.path);
        } catch (const MajError& e) {
            return stop(R::Failed, file.path + QStringLiteral(" n'a pu être lu (") + e.description() +
                                       QLatin1Char(')') + nothingDone);
        }
        // A file already as before the run (a folder restored already) is no change to refuse.
        if (!force && current != file.sha256AtEnd && current != sha256Before(file))
            return stop(R::Refused, file.path + QStringLiteral(" a changé depuis la fin de la mise à jour de ") +
                                        source.folder + nothingDone.chopped(1) +
                                        QStringLiteral(" (--force le remet en place malgré tout)."));
        if (current != sha256Before(file)) {
            toPutBack.push_back(file);
            r.notPutBack.append(file.path);
        }
    }
    for (const SavedFile& file : toPutBack) {
        if (!file.existed)
            continue;
        const QString copy = join(source.folder, file.copy);
        if (!fs::fileExists(copy))
            return stop(R::Refused,
                        QStringLiteral("La copie ") + copy + QStringLiteral(" est introuvable") + nothingDone);
        try {
            if (fs::isInUseElsewhere(copy))
                throw MajError(err::PermissionDenied, QStringLiteral("elle est ouverte par un autre programme"));
            if (fs::sha256(copy) != file.sha256)
                return stop(R::Refused, QStringLiteral("La copie ") + copy +
                                            QStringLiteral(" ne correspond plus à celle qui a été sauvegardée") +
                                            nothingDone);
        } catch (const MajError& e) {
            return stop(R::Failed, QStringLiteral("La copie ") + copy + QStringLiteral(" n'a pu être lue (") +
                                       e.description() + QLatin1Char(')') + nothingDone);
        }
    }
    if (toPutBack.empty())
        return stop(R::NothingToDo);

    Manifest record = source;
    if (saveCurrent) {
        try {
            record = deploy::saveCurrent(engine, clock, log, source, toPutBack);
        } catch (const MajError& e) {
            return stop(R::Failed, QStringLiteral("Les fichiers actuels n'ont pu être sauvegardés (") +
                                       e.description() + QStringLiteral(")") + nothingDone);
        }
        r.savedIn = record.folder;
    }
    const QString failure = putBack(engine, source.folder, toPutBack, &r.putBack);
    for (const QString& path : std::as_const(r.putBack))
        r.notPutBack.removeOne(path);
    if (!failure.isEmpty()) {
        r.outcome = R::Failed;
        r.why = QStringLiteral("La remise en place s'est arrêtée : ") + failure +
                QStringLiteral(". Remis en place : ") +
                (r.putBack.isEmpty() ? QStringLiteral("aucun") : r.putBack.join(QStringLiteral(", "))) +
                QStringLiteral(". Pas remis en place : ") + r.notPutBack.join(QStringLiteral(", ")) +
                QStringLiteral(". Les copies sont dans ") + source.folder +
                (saveCurrent ? QStringLiteral(", les fichiers remplacés dans ") + record.folder : QString()) +
                QStringLiteral(".");
    }

    // Each file as it is left: as before the set's run when put back, else as saved or as recorded.
    for (SavedFile& file : record.files) {
        if (r.putBack.contains(file.path))
            file.sha256AtEnd = sha256Before(*std::find_if(toPutBack.cbegin(), toPutBack.cend(),
                                                          [&](const SavedFile& put) { return put.path == file.path; }));
        else if (saveCurrent)
            file.sha256AtEnd = sha256Before(file);
    }
    if (failure.isEmpty())
        record.outcome = saveCurrent ? QStringLiteral("completed") : QStringLiteral("restored");
    else if (saveCurrent)
        record.outcome = QStringLiteral("failed");
    record.finished = clock.now();
    for (const QString& path : std::as_const(r.putBack))
        log.write(QStringLiteral("remis en place : ") + path);
    for (const QString& path : std::as_const(r.notPutBack))
        log.write(QStringLiteral("pas remis en place : ") + path);
    if (!failure.isEmpty())
        log.write(QStringLiteral("échec de la remise en place : ") + failure);
    log.write(QStringLiteral("fin de la remise en place : ") +
              (failure.isEmpty() ? QStringLiteral("terminée") : QStringLiteral("arrêtée")));
    try {
        writeManifest(record);
    } catch (const MajError& e) {
        r.notRecorded = e.description();
        log.write(r.notRecorded);
    }
    return r;
}

Manifest runManifest(const Form1Core& f)
{
    Manifest m;
    m.folder = f.settings.BackupFolder;
    m.started = f.backup.started;
    m.kind = QStringLiteral("update");
    m.release = f.settings.ReleaseNumber;
    m.releaseDate = f.settings.ReleaseDate;
    m.station = f.window.LBLSERVEURCLIENT;
    m.computer = QSysInfo::machineHostName();
    m.program = QStringLiteral(MAJ_VERSION);
    m.files = f.backup.files;
    return m;
}

Manifest recordRunEnd(Form1Core& f, bool failed, const MajError* failure)
{
    if (f.backup.ended || f.settings.BackupFolder.isEmpty())
        return {};
    f.backup.ended = true;
    for (DataSource* source : f.data.all()) {
        try {
            source->release();
        } catch (const MajError&) {
            // Every step committed at its end: nothing is pending here to lose.
        }
    }
    for (SavedFile& file : f.backup.files) {
        try {
            file.sha256AtEnd = currentSha256(f.engine, file.path);
        } catch (const MajError&) {
            file.sha256AtEnd = kUnreadable;
        }
    }
    Manifest m = runManifest(f);
    m.outcome = failed ? QStringLiteral("failed") : QStringLiteral("completed");
    m.finished = f.clock.now();
    if (failure) {
        m.errorNumber = failure->number();
        m.errorText = failure->description();
    }
    f.log.write(QStringLiteral("fin de la mise à jour : ") +
                (failed
                     ? QStringLiteral("arrêtée") + (failure ? QStringLiteral(" par l'") + failureText(*failure)
                                                            : QStringLiteral(", un fichier n'ayant pu être sauvegardé"))
                     : QStringLiteral("terminée")));
    try {
        writeManifest(m);
    } catch (const MajError& e) {
        f.ui.message(e.description() + QLatin1Char('.'));
    }
    return m;
}

ExitStatus offerUndo(Form1Core& f, const MajError* failure)
{
    // A run already ended, or without a backup folder, records nothing: no file to put back.
    const Manifest run = recordRunEnd(f, true, failure);
    if (std::all_of(run.files.cbegin(), run.files.cend(),
                    [](const SavedFile& file) { return file.sha256AtEnd == sha256Before(file); }) ||
        !f.ui.ask(QStringLiteral("Voulez-vous remettre praxidome dans l'état où il était avant cette mise à jour ?")))
        return ExitStatus::UpdateIncomplete;
    // The run's end was just recorded: no need to check it again.
    const Restoration r = restore(f.engine, f.clock, f.log, run, true, false);
    if (!r.notRecorded.isEmpty())
        f.ui.message(r.notRecorded + QLatin1Char('.'));
    if (r.outcome != Restoration::PutBack) {
        f.ui.message(r.why);
        return ExitStatus::UpdateIncomplete;
    }
    f.ui.message(QStringLiteral("praxidome a été remis dans l'état où il était avant la mise à jour."));
    return ExitStatus::Restored;
}

} // namespace maj::deploy
