#include "app/CommandLine.h"

#include "app/Opening.h"

#include "deploy/BackupSet.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "platform/RunLog.h"
#include "platform/jet/Database.h"
#include "preview/Preview.h"
#include "run/Step.h"

#include <QCommandLineParser>
#include <QDir>
#include <QLocale>
#include <QRegularExpression>
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
    "  -h, --help           affiche cette aide\n"
    "  -v, --version        affiche la version du programme\n");

// The program's options, parsed by Qt; one dash or two alike ("-help", "--help").
class Options
{
public:
    const QCommandLineOption preview{QStringLiteral("preview")}, json{QStringLiteral("json")},
        listBackups{QStringLiteral("list-backups")}, restore{QStringLiteral("restore")}, force{QStringLiteral("force")},
        help{{QStringLiteral("h"), QStringLiteral("help")}}, version{{QStringLiteral("v"), QStringLiteral("version")}};

    explicit Options(const QStringList& arguments)
    {
        m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        m_parser.addOptions({preview, json, listBackups, restore, force, help, version});
        m_parsed = m_parser.parse(QStringList{QStringLiteral("maj")} + arguments);
    }

    bool given(const QCommandLineOption& option) const { return m_parser.isSet(option); }
    bool givesAnOption() const { return !m_parser.optionNames().isEmpty(); }
    QStringList positional() const { return m_parser.positionalArguments(); }

    // What is wrong with the line, in French; empty when it asks for one thing the program does.
    QString fault(const QStringList& arguments) const
    {
        QStringList names = m_parser.optionNames();
        for (const QString& argument : arguments) {
            const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
            if (!m_parsed && argument.startsWith(QLatin1Char('-')) && !names.contains(name))
                return QStringLiteral("Option inconnue : ") + argument + QLatin1Char('.');
        }
        names.replaceInStrings(QRegularExpression(QStringLiteral("^h$")), QStringLiteral("help"))
            .replaceInStrings(QRegularExpression(QStringLiteral("^v$")), QStringLiteral("version"));
        for (const QString& name : names) {
            if (names.count(name) > 1)
                return QStringLiteral("Option répétée : --") + name + QLatin1Char('.');
        }
        const QStringList actions = names.filter(QRegularExpression(QStringLiteral("^(?!json$|force$)")));
        if (actions.size() > 1)
            return QStringLiteral("Les options --%1 et --%2 ne vont pas ensemble.").arg(actions[0], actions[1]);
        if (given(force) && !given(restore))
            return QStringLiteral("L'option --force ne va qu'avec --restore.");
        if (given(json) && !given(preview))
            return QStringLiteral("L'option --json ne va qu'avec --preview.");
        const QStringList words = positional();
        if (words.size() > (given(restore) ? 1 : 0) || actions.isEmpty())
            return QStringLiteral("Argument inattendu : ") + words.value(given(restore) ? 1 : 0, arguments.value(0)) +
                   QLatin1Char('.');
        return {};
    }

private:
    QCommandLineParser m_parser;
    bool m_parsed = false;
};

QString outcomeText(const deploy::Manifest& m)
{
    if (m.outcome == QLatin1String("completed"))
        return QStringLiteral("terminée");
    const QString stopped = QStringLiteral("arrêtée par l'erreur ") + QString::number(m.errorNumber);
    if (m.outcome == QLatin1String("restored"))
        return stopped + QStringLiteral(", fichiers remis en place");
    if (m.outcome == QLatin1String("failed"))
        return m.errorNumber ? stopped + QStringLiteral(" : ") + m.errorText
                             : QStringLiteral("arrêtée avant de modifier un fichier non sauvegardé");
    if (m.outcome == QLatin1String("interrupted"))
        return QStringLiteral("interrompue");
    return QStringLiteral("en cours ou interrompue");
}

// Returns how many folders it listed.
qsizetype listBackups(QTextStream& out)
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
        for (const SavedFile& file : m.files)
            out << "    " << file.path << "  "
                << (file.existed ? QLocale().toString(file.size) +
                                       (file.size > 1 ? QStringLiteral(" octets") : QStringLiteral(" octet"))
                                 : QStringLiteral("absent avant"))
                << '\n';
    }
    return qsizetype(backups.size());
}

// The backup folder a --restore argument names, as a Windows path: its name alone ("MAJ2026…"), a path
// of drive c: whatever its slashes, or a host path under the folder that stands for drive c:. Empty
// for a host path elsewhere.
QString backupFolderArgument(QString folder)
{
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    if (drive.match(folder).hasMatch())
        return folder.replace(0, 1, folder[0].toLower()).replace(QLatin1Char('/'), QLatin1Char('\\'));
    if (folder.isEmpty())
        return folder;
    if (folder.contains(QLatin1Char('/'))) {
        const QString root = fs::hostPath(QStringLiteral("c:\\"));
        const QString host = QDir::cleanPath(QDir(folder).absolutePath());
        if (!host.startsWith(root + QLatin1Char('/')))
            return {};
        return QStringLiteral("c:\\") + host.mid(root.size() + 1).replace(QLatin1Char('/'), QLatin1Char('\\'));
    }
    return folder.contains(QLatin1Char('\\')) ? folder : QStringLiteral("c:\\") + folder;
}

// A restore from the command line, told to the log and, when it fails, to `err`.
int restore(RunLog& log, QString folder, bool force, QTextStream& out, QTextStream& err)
{
    const auto stop = [&](int status, const QString& text) {
        log.write(text);
        log.endRun(status);
        if (status != Done)
            err << text << '\n';
        return status;
    };
    const QString nothingDone = Installation::nothingPutBack();
    // Whatever stops it, its end is logged.
    try {
        // Nothing is written before the manifest passed: not even other runs' manifests.
        if (folder.isEmpty()) {
            const std::vector<deploy::Manifest> backups = deploy::listBackups();
            if (backups.empty())
                return stop(Failed, QStringLiteral("Aucun dossier de sauvegarde avec un manifeste n'a été trouvé."));
            folder = backups.front().folder;
        }
        log.write(QStringLiteral("restauration de ") + folder + (force ? QStringLiteral(" (--force)") : QString()));
        deploy::Manifest source;
        try {
            source = deploy::readManifest(folder);
        } catch (const MajError& e) {
            return stop(e.number() == err::PermissionDenied ? Refused : Failed, e.description() + nothingDone);
        }
        // Without --force each file is checked against its hash at the run's end.
        if (const QString fault = deploy::manifestFault(source, !force); !fault.isEmpty())
            return stop(Refused, fault + nothingDone);

        using R = deploy::Restoration;
        SystemClock clock;
        Engine engine;
        const R r = deploy::restore(engine, clock, log, source, force, true);
        if (!r.notRecorded.isEmpty())
            err << r.notRecorded << ".\n";
        if (r.outcome == R::NothingToDo) {
            const QString already =
                QStringLiteral("praxidome est déjà dans l'état où il était avant la mise à jour de ") + folder +
                QStringLiteral(" : ce dossier a déjà été remis en place, ou cette mise à jour n'avait "
                               "rien changé. Rien n'a été modifié.");
            out << already << '\n';
            return stop(Done, already);
        }
        if (r.outcome != R::PutBack)
            return stop(r.outcome == R::InUse ? Running : r.outcome == R::Refused ? Refused : Failed, r.why);
        out << "praxidome a été remis dans l'état où il était avant la mise à jour de " << folder << ".\n"
            << "Les fichiers remplacés sont sauvegardés dans " << r.savedIn << ".\n";
        return stop(Done, QStringLiteral("fichiers remis en place depuis ") + folder);
    } catch (const MajError& e) {
        return stop(Failed, QStringLiteral("La restauration s'est arrêtée sur l'") + failureText(e) + nothingDone);
    }
}

// What the update would do, told on `out`; the log notes that a preview ran.
int showPreview(RunLog& log, bool asJson, QTextStream& out, QTextStream& err)
{
    SystemClock clock;
    int status = Done;
    try {
        const preview::Result r = preview::makePreview(clock, setRunSettings);
        out << (asJson ? QString::fromUtf8(preview::json(r)) : preview::frenchText(r));
        log.write(QStringLiteral("aperçu : %1 codes ajoutés, %2 modifiés, %3 inchangés ; rien n'a été modifié")
                      .arg(r.codes.added.size())
                      .arg(r.codes.changed.size())
                      .arg(r.codes.unchanged));
    } catch (const MajError& e) {
        err << "L'aperçu de la mise à jour n'a pu être fait : " << e.description() << '\n';
        log.write(QStringLiteral("aperçu impossible : ") + e.description());
        status = Failed;
    }
    log.endRun(status);
    return status;
}

} // namespace

bool isForTheWindow(const QStringList& arguments)
{
    const Options o(arguments);
    return arguments.isEmpty() || (!o.givesAnOption() && arguments.first().startsWith(QLatin1Char('-')) &&
                                   !arguments.first().startsWith(QLatin1String("--")));
}

int runCommandLine(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const Options o(arguments);
    if (const QString fault = o.fault(arguments); !fault.isEmpty())
        return err << fault << '\n' << kUsage, Usage;
    if (o.given(o.help))
        return out << kUsage, Done;
    if (o.given(o.version))
        return out << "maj " MAJ_VERSION "\n", Done;
    const QString folder = backupFolderArgument(o.positional().value(0));
    if (folder.isEmpty() && !o.positional().value(0).isEmpty())
        return err << "Le dossier " << o.positional().value(0) << " n'est pas sur le lecteur c:, qui est le dossier "
                   << fs::driveCText() << " : donnez le dossier de sauvegarde sous la forme c:\\MAJ… ou MAJ….\n"
                   << kUsage,
               Usage;
    try {
        fs::requireOnDriveC(Installation::folder());
    } catch (const MajError& e) {
        return err << e.description() << '\n', Failed;
    }
    try {
        // The command's log, its failures told on `err`.
        RunLog log;
        log.onFailure = [&err](const QString& text) { err << text << '\n'; };
        log.open(Installation::runLog());
        log.beginRun(logHeader({QStringLiteral("maj " MAJ_VERSION), QStringLiteral("maj ") + arguments.join(u' '),
                                QStringLiteral("ordinateur ") + QSysInfo::machineHostName()}));
        log.write(QStringLiteral("dossier courant : ") + fs::currentFolder() + QStringLiteral(" ; c: est ") +
                  fs::driveCText());
        if (o.given(o.preview))
            return showPreview(log, o.given(o.json), out, err);
        if (o.given(o.listBackups)) {
            log.write(QStringLiteral("dossiers de sauvegarde listés : ") + QString::number(listBackups(out)));
            log.endRun(Done);
            return Done;
        }
        return restore(log, folder, o.given(o.force), out, err);
    } catch (const MajError& e) {
        err << e.numberAndDescription() << '\n';
        return Failed;
    }
}

} // namespace maj
