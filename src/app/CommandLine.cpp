#include "app/CommandLine.h"

#include "app/Opening.h"

#include "deploy/BackupSet.h"
#include "deploy/Deploy.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "platform/RunLog.h"
#include "platform/jet/Database.h"
#include "preview/Preview.h"

#include <QLocale>
#include <QSysInfo>
#include <QTextStream>

namespace maj {

namespace {

// Statuses of the options, beside the window's (ExitStatus).
enum CommandStatus : int
{
    Done = 0,
    Failed = 1,
    Running = 2,
    Refused = 7, // a manifest refused, a damaged copy, or a file changed since the run ended
    Usage = 64,
};

const QString kUsage = QStringLiteral(
    "Usage : maj [--preview [--json] | --list-backups | --restore [DOSSIER] [--force] | --help | --version]\n"
    "Sans option : la mise à jour de praxidome, dans sa fenêtre.\n"
    "  --preview            montre ce que la mise à jour ferait sur cette installation, sans rien modifier\n"
    "                       (à lancer depuis le dossier de la mise à jour)\n"
    "  --json               le même aperçu en un document JSON\n"
    "  --list-backups       liste les dossiers de sauvegarde, du plus récent au plus ancien\n"
    "  --restore [DOSSIER]  remet en place les fichiers sauvegardés dans DOSSIER (c:\\MAJ... ou son nom ;\n"
    "                       le plus récent quand il n'est pas donné)\n"
    "  --force              remet en place même les fichiers modifiés depuis la fin de cette mise à jour,\n"
    "                       ou ceux d'une mise à jour qui n'a pas enregistré sa fin\n"
    "  --help               affiche cette aide\n"
    "  --version            affiche la version du programme\n");

QString outcomeText(const deploy::Manifest& m)
{
    if (m.outcome == QLatin1String("completed"))
        return QStringLiteral("terminée");
    if (m.outcome == QLatin1String("restored"))
        return QStringLiteral("arrêtée par l'erreur ") + QString::number(m.errorNumber) +
               QStringLiteral(", fichiers remis en place");
    if (m.outcome == QLatin1String("failed"))
        return m.errorNumber ? QStringLiteral("arrêtée par l'erreur ") + QString::number(m.errorNumber) +
                                   QStringLiteral(" : ") + m.errorText
                             : QStringLiteral("arrêtée avant de modifier un fichier non sauvegardé");
    if (m.outcome == QLatin1String("interrupted"))
        return QStringLiteral("interrompue");
    return QStringLiteral("en cours ou interrompue");
}

void listBackups(QTextStream& out)
{
    const std::vector<deploy::Manifest> backups = deploy::listBackups();
    if (backups.empty())
        out << "Aucun dossier de sauvegarde avec un manifeste n'a été trouvé.\n";
    for (const deploy::Manifest& m : backups) {
        const QString fault = deploy::manifestFault(m, false);
        if (!fault.isEmpty()) {
            out << m.folder << "  " << fault << ".\n";
            continue;
        }
        const QString what = m.kind == QLatin1String("restore") ? QStringLiteral("avant une restauration")
                                                                : QStringLiteral("mise à jour ") + outcomeText(m);
        out << m.folder << "  " << QLocale().toString(m.started, QLocale::ShortFormat) << "  version " << m.release
            << "  " << m.station << " (" << m.computer << ")  " << what << '\n';
        for (const SavedFile& file : m.files) {
            out << "    " << file.path << "  "
                << (file.existed ? QLocale().toString(file.size) + QStringLiteral(" octets")
                                 : QStringLiteral("absent avant"))
                << '\n';
        }
    }
}

// A restore from the command line, told to the log and, when it stops, to `err`.
class Restore
{
public:
    Restore(QTextStream& out, QTextStream& err) : m_out(out), m_err(err)
    {
        m_log.onFailure = [this](const QString& text) { m_err << text << '\n'; };
        m_log.open(QStringLiteral("c:\\praxidome\\maj.log"));
        m_log.beginRun(logHeader({QStringLiteral("maj " MAJ_VERSION), QStringLiteral("restauration"),
                                  QStringLiteral("ordinateur ") + QSysInfo::machineHostName()}));
    }

    int run(QString folder, bool force);

private:
    int stop(int status, const QString& text)
    {
        m_log.write(text);
        m_log.write(QStringLiteral("fin du programme, statut ") + QString::number(status));
        m_err << text << '\n';
        return status;
    }
    // The current files, before they are replaced, in a new backup folder of their own.
    deploy::Manifest saveCurrent(const deploy::Manifest& source, const std::vector<SavedFile>& files);

    QTextStream& m_out;
    QTextStream& m_err;
    RunLog m_log;
    SystemClock m_clock;
    Engine m_engine;
};

deploy::Manifest Restore::saveCurrent(const deploy::Manifest& source, const std::vector<SavedFile>& files)
{
    deploy::Manifest saved;
    saved.kind = QStringLiteral("restore");
    saved.started = m_clock.now();
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
    m_log.write(QStringLiteral("dossier de sauvegarde : ") + saved.folder);
    for (const SavedFile& file : files) {
        SavedFile current{file.path, file.copy, false, 0, {}, {}};
        if (fs::fileExists(file.path))
            current = deploy::saveFile(m_engine, file.path, saved.folder, file.copy);
        saved.files.push_back(current);
        deploy::writeManifest(saved);
    }
    return saved;
}

int Restore::run(QString folder, bool force)
{
    // Nothing is written before the manifest passed: not even other runs' manifests.
    if (folder.isEmpty()) {
        const std::vector<deploy::Manifest> backups = deploy::listBackups();
        if (backups.empty())
            return stop(Failed, QStringLiteral("Aucun dossier de sauvegarde avec un manifeste n'a été trouvé."));
        folder = backups.front().folder;
    } else if (!folder.contains(QLatin1Char('\\')) && !folder.contains(QLatin1Char(':'))) {
        folder = QStringLiteral("c:\\") + folder;
    }
    m_log.write(QStringLiteral("restauration de ") + folder + (force ? QStringLiteral(" (--force)") : QString()));

    const QString nothingDone = QStringLiteral(" : rien n'a été remis en place.");
    deploy::Manifest source;
    try {
        source = deploy::readManifest(folder);
    } catch (const MajError& e) {
        return stop(e.number() == err::PermissionDenied ? Refused : Failed, e.description() + nothingDone);
    }
    // Without --force each file is checked against its hash at the run's end.
    const QString fault = deploy::manifestFault(source, !force);
    if (!fault.isEmpty())
        return stop(Refused, fault + nothingDone);
    for (const SavedFile& file : source.files) {
        if (fs::isInUseElsewhere(file.path))
            return stop(Running, QStringLiteral("Praxidome semble être en fonctionnement (") + file.path +
                                     QStringLiteral(" est ouvert) : fermez le programme sur tous les postes puis "
                                                    "recommencez. Rien n'a été remis en place."));
    }

    std::vector<SavedFile> toPutBack;
    for (const SavedFile& file : source.files) {
        QByteArray current;
        try {
            current = deploy::currentSha256(m_engine, file.path);
        } catch (const MajError& e) {
            return stop(Failed, file.path + QStringLiteral(" n'a pu être lu : ") + e.description());
        }
        if (!force && current != file.sha256AtEnd)
            return stop(Refused,
                        file.path + QStringLiteral(" a changé depuis la fin de la mise à jour de ") + folder +
                            QStringLiteral(" : rien n'a été remis en place (--force le remet en place malgré tout)."));
        if (current != deploy::sha256Before(file))
            toPutBack.push_back(file);
    }
    for (const SavedFile& file : toPutBack) {
        const QString copy = folder + QLatin1Char('\\') + file.copy;
        if (file.existed && (!fs::fileExists(copy) || fs::sha256(copy) != file.sha256))
            return stop(Refused, QStringLiteral("La copie ") + copy +
                                     QStringLiteral(" ne correspond plus à celle qui a été sauvegardée : rien n'a "
                                                    "été remis en place."));
    }
    if (toPutBack.empty()) {
        m_out << "praxidome est déjà dans l'état de " << folder << ".\n";
        return stop(Done, QStringLiteral("rien à remettre en place"));
    }

    deploy::Manifest saved;
    try {
        saved = saveCurrent(source, toPutBack);
    } catch (const MajError& e) {
        return stop(Failed, QStringLiteral("Les fichiers actuels n'ont pu être sauvegardés (") + e.description() +
                                QStringLiteral(") : rien n'a été remis en place."));
    }
    try {
        deploy::putBack(m_engine, folder, toPutBack);
    } catch (const deploy::PutBackFailure& e) {
        saved.outcome = QStringLiteral("failed");
        saved.finished = m_clock.now();
        deploy::writeManifest(saved);
        return stop(Failed, QStringLiteral("Le fichier ") + e.notPutBack.value(0) +
                                QStringLiteral(" n'a pu être remis en place (") + e.reason +
                                QStringLiteral("). Remis en place : ") +
                                (e.putBack.isEmpty() ? QStringLiteral("aucun") : e.putBack.join(QStringLiteral(", "))) +
                                QStringLiteral(". Pas remis en place : ") + e.notPutBack.join(QStringLiteral(", ")) +
                                QStringLiteral(". Les copies sont dans ") + folder +
                                QStringLiteral(", les fichiers remplacés dans ") + saved.folder + QStringLiteral("."));
    }
    saved.outcome = QStringLiteral("completed");
    saved.finished = m_clock.now();
    for (SavedFile& file : saved.files) {
        const auto restored = std::find_if(toPutBack.cbegin(), toPutBack.cend(),
                                           [&](const SavedFile& put) { return put.path == file.path; });
        file.sha256AtEnd = deploy::sha256Before(*restored);
    }
    try {
        deploy::writeManifest(saved);
    } catch (const MajError& e) {
        m_err << e.description() << '\n';
    }
    m_out << "praxidome a été remis dans l'état où il était avant la mise à jour de " << folder << ".\n"
          << "Les fichiers remplacés sont sauvegardés dans " << saved.folder << ".\n";
    return stop(Done, QStringLiteral("fichiers remis en place depuis ") + folder);
}

// What the update would do, told on `out`; the log notes that a preview ran.
int showPreview(bool asJson, QTextStream& out, QTextStream& err)
{
    RunLog log;
    log.onFailure = [&err](const QString& text) { err << text << '\n'; };
    log.open(QStringLiteral("c:\\praxidome\\maj.log"));
    log.beginRun(logHeader({QStringLiteral("maj " MAJ_VERSION), QStringLiteral("aperçu"),
                            QStringLiteral("ordinateur ") + QSysInfo::machineHostName()}));
    SystemClock clock;
    int status = Done;
    try {
        const preview::Result r = preview::makePreview(clock, setRunSettings);
        out << (asJson ? QString::fromUtf8(preview::json(r)) : preview::frenchText(r));
        log.write(QStringLiteral("aperçu : %1 codes ajoutés, %2 modifiés, %3 inchangés ; rien n'a été modifié")
                      .arg(r.added.size())
                      .arg(r.changed.size())
                      .arg(r.unchanged));
    } catch (const MajError& e) {
        err << "L'aperçu de la mise à jour n'a pu être fait : " << e.description() << '\n';
        log.write(QStringLiteral("aperçu impossible : ") + e.description());
        status = Failed;
    }
    log.write(QStringLiteral("fin du programme, statut ") + QString::number(status));
    return status;
}

} // namespace

int runCommandLine(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const QStringList options{QStringLiteral("--list-backups"), QStringLiteral("--restore"),
                              QStringLiteral("--force"),        QStringLiteral("--help"),
                              QStringLiteral("--version"),      QStringLiteral("--preview"),
                              QStringLiteral("--json")};
    QStringList given;
    QStringList folders;
    for (const QString& argument : arguments) {
        if (options.contains(argument) && !given.contains(argument))
            given.append(argument);
        else if (!argument.startsWith(QLatin1Char('-')))
            folders.append(argument);
        else
            return err << "Option inconnue : " << argument << '\n' << kUsage, Usage;
    }
    const bool restore = given.contains(QStringLiteral("--restore"));
    const bool force = given.contains(QStringLiteral("--force"));
    const bool asJson = given.contains(QStringLiteral("--json"));
    if (given.size() - int(force) - int(asJson) != 1 || (force && !restore) ||
        (asJson && !given.contains(QStringLiteral("--preview"))) || folders.size() > (restore ? 1 : 0))
        return err << kUsage, Usage;

    if (given.contains(QStringLiteral("--help")))
        return out << kUsage, Done;
    if (given.contains(QStringLiteral("--version")))
        return out << "maj " MAJ_VERSION "\n", Done;
    try {
        if (given.contains(QStringLiteral("--preview")))
            return showPreview(asJson, out, err);
        if (given.contains(QStringLiteral("--list-backups"))) {
            listBackups(out);
            return Done;
        }
        return Restore(out, err).run(folders.value(0), force);
    } catch (const MajError& e) {
        err << e.numberAndDescription() << '\n';
        return Failed;
    }
}

} // namespace maj
