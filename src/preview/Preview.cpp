#include "preview/Preview.h"

#include "deploy/BackupSet.h"
#include "deploy/Release.h"
#include "platform/Ansi.h"
#include "platform/FileSystem.h"
#include "platform/Logging.h"
#include "platform/MajError.h"
#include "platform/Transfer.h"
#include "preview/Update.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <future>

namespace maj::preview {

namespace {

const QString kCodeColumn = QStringLiteral("code inami");

// What the steps show, kept instead of shown; questions are answered "Non".
class KeptUi : public UiServices
{
public:
    QStringList messages;
    void setBusyCursor(bool) override {}
    void processEvents() override {}
    void waitForEvents(int) override {}
    void programEnded() override {}

protected:
    void showMessage(const QString& text, const QString&) override { messages.append(text); }
    bool showQuestion(const QString&, const QString&) override { return false; }
};

FileAction describe(const QString& path, const QString& action)
{
    return {path, action, QFileInfo(fs::hostPath(path)).size(), fs::lastModified(path), fs::sha256(path), {}};
}

// The code table against a copy of it as it was (`beforeHost`).
TableChanges compareCodes(const QString& patHost, const QString& beforeHost)
try {
    return compareTable(patHost, beforeHost, QStringLiteral("nomenclature"), kCodeColumn,
                        {kCodeColumn, QStringLiteral("ABREVIATION")});
} catch (const MajError& e) {
    throw MajError(e.number(), QStringLiteral("La nomenclature de ") + Installation::patientDatabase() +
                                   QStringLiteral(" n'a pu être comparée : ") + e.description());
}

// Whether the snapshot's databases hold the registration: the marker of pannexe.mdb and the
// settings record.
bool registered(Form1Core& f, const Registration& r)
try {
    DataSource& annex = f.data.Data4;
    annex.bind(Installation::annexDatabase(), QStringLiteral("ortho"));
    Recordset& ortho = annex.recordset();
    ortho.findFirst(QStringLiteral("numpat = 'Insta'"));
    if (ortho.noMatch() || ortho.field(2).toDate() != r.date || ortho.field(3).toString() != r.releaseDate ||
        ortho.field(79).toString() != r.number)
        return false;
    annex.bind(Installation::settingsDatabase(), QStringLiteral("parapat"));
    return annex.recordset().field(61).toString() == r.number;
} catch (const MajError& e) {
    qCDebug(lcStep) << "inscription illisible :" << e.what();
    return false;
}

// The report envoyer would send: the first one of the work folder, with its lines.
Report sentReport()
{
    const QStringList reports = fs::listFiles(Installation::inWorkFolder(QStringLiteral("*.pxd")));
    if (reports.isEmpty())
        return {};
    QFile file(fs::hostPath(Installation::inWorkFolder(reports.first())));
    if (!file.open(QIODevice::ReadOnly))
        throw MajError(err::PathFileAccess, QStringLiteral("Le rapport d'activité n'a pu être relu"));
    QStringList lines = fromAnsi(file.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return {reports.first(), lines};
}

// The window's opening and sequence on the snapshot (drive c: already switched to it): the census,
// then the update's steps without the upload or the backups. A server needs the release
// (`missingRelease` names it when it is not there), in the host folder `releaseFolder`.
void runSteps(Clock& clock, const std::function<void(Form1Core&)>& settings, const ReleaseCheck& release,
              const QString& missingRelease, const QString& releaseFolder, const QString& installedCodes,
              const QString& beforeHost, Result& r)
{
    KeptUi ui;
    Form1Core f(ui, clock);
    settings(f);
    f.release = release;
    // The release is checked before the snapshot, which reads each database whole.
    RunPolicy policy{
        .upload = false, .backups = false, .checks = false, .stop = [&](Form1Core&, const MajError* failure) {
            r.stop = failure ? failure->numberAndDescription() : ui.messages.last();
            return ExitStatus::UpdateIncomplete;
        }};
    try {
        openUpdate(f, policy);
    } catch (const ProgramEnded&) {
        // The opening's one stop the preview meets: the update number refused.
        r.server = !f.settings.StationRole;
        r.refusal = f.release.refusal;
        return;
    }
    r.server = !f.settings.StationRole;
    if (r.server && !missingRelease.isEmpty())
        throw MajError(err::FileNotFound, QStringLiteral("Aucune mise à jour n'a été trouvée : ") + missingRelease +
                                              QStringLiteral(" n'existe pas. L'aperçu se lance depuis le dossier d'où "
                                                             "la mise à jour serait lancée."));
    r.report = sentReport();
    f.settings.PayloadFolder = fs::windowsPath(releaseFolder) + QLatin1Char('\\');

    // The steps run on the snapshot, without the upload or the backups. The copy the comparison
    // needs is taken while the steps before the first that writes pat.mdb run; the comparison
    // reads pat.mdb once the last of them is done.
    std::future<void> before;
    std::future<TableChanges> codes;
    const UpdateStep* lastWriter = nullptr;
    if (r.server) {
        before =
            std::async(std::launch::async, snapshotDatabase, fs::hostPath(Installation::patientDatabase()), beforeHost);
        for (const UpdateStep& step : updateSteps()) {
            if (step.writes.contains(Installation::patientDatabase()))
                lastWriter = &step;
        }
    }
    const auto compare = [&] {
        if (before.valid())
            before.get();
        codes = std::async(std::launch::async, compareCodes, fs::hostPath(Installation::patientDatabase()), beforeHost);
    };
    policy.before = [&](const UpdateStep& step) {
        if (step.writes.contains(Installation::patientDatabase()) && before.valid())
            before.get();
    };
    policy.after = [&](const UpdateStep& step) {
        // The installed code database is read only when the release's could not replace it.
        if (step.writes.contains(Installation::codesDatabase()) && !installedCodes.isEmpty() &&
            !fs::fileExists(Installation::codesDatabase()))
            snapshotDatabase(installedCodes, fs::hostPath(Installation::codesDatabase()));
        if (&step == lastWriter)
            compare();
    };
    try {
        runUpdate(f, policy);
    } catch (const ProgramEnded&) {
        // A stop, or a client's end: what the steps did is read from the snapshot below.
    }
    if (r.server && !codes.valid())
        compare();
    r.duplicates = f.window.l.mid(1);
    r.duplicates.removeAll(QStringLiteral(" "));
    r.registration = {f.window.lblnumerodemaj, f.window.lbldate, clock.today()};
    r.registration.written = registered(f, r.registration);
    r.messages = ui.messages;
    if (codes.valid())
        r.codes = codes.get();
}

} // namespace

Result makePreview(Clock& clock, const std::function<void(Form1Core&)>& settings)
{
    Result r;
    r.tls = TransferSettings::deployment().tls;
    QString payload;
    ReleaseCheck release;
    {
        KeptUi ui;
        Form1Core f(ui, clock);
        settings(f);
        const QString folder = deploy::payloadFolder(f.settings);
        payload = folder + QStringLiteral("eattest.mdb");
        if (!f.releaseKeys.empty())
            release = deploy::checkSignedRelease(folder, f.releaseKeys);
        r.release = f.settings.ReleaseNumber;
        r.releaseDate = f.settings.ReleaseDate;
        r.authenticated = release.authenticated;
        r.key = release.key;
        r.refusal = release.refusal;
        if (!r.refusal.isEmpty())
            return r;
    }
    for (const deploy::SetFile& file : deploy::backupSet()) {
        if (fs::fileExists(file.path))
            r.files.append(describe(file.path, QStringLiteral("save")));
        else if (file.path == Installation::patientDatabase() || file.path == Installation::settingsDatabase())
            throw MajError(err::FileNotFound, QStringLiteral("Le fichier ") + file.path +
                                                  QStringLiteral(" est introuvable : ce n'est pas une installation "
                                                                 "de praxidome, ou elle est incomplète."));
        else if (!file.optional)
            r.files.append({file.path, QStringLiteral("missing"), 0, {}, {}, {}});
    }
    r.running = fs::isInUseElsewhere(Installation::patientDatabase());
    const bool hasRelease = fs::fileExists(payload);
    FileAction replacement;
    if (hasRelease) {
        replacement = describe(payload, QStringLiteral("replace"));
        replacement.source = payload;
        replacement.path = Installation::codesDatabase();
    }

    // The databases as they are committed now, and the installation date inscritdate reads.
    QTemporaryDir snapshot;
    if (!snapshot.isValid() || !QDir().mkpath(snapshot.filePath(QStringLiteral("praxidome"))) ||
        !QDir().mkpath(snapshot.filePath(QStringLiteral("release"))))
        throw MajError(err::PathFileAccess, QStringLiteral("Le dossier temporaire de l'aperçu n'a pu être créé"));
    const auto copy = [&](const QString& path, const QString& target) {
        try {
            snapshotDatabase(fs::hostPath(path), snapshot.filePath(target));
        } catch (const MajError& e) {
            throw MajError(e.number(), path + QStringLiteral(" n'a pu être lu : ") + e.description());
        }
    };
    for (const QString& path : Installation::practiceDatabases()) {
        if (fs::fileExists(path))
            copy(path, QStringLiteral("praxidome/") + path.section(QLatin1Char('\\'), -1));
    }
    // The installed code database only matters when copienomen cannot replace it: read-only, it
    // is copied now, with its attribute; otherwise copienomen's failure has it copied then.
    QString installedCodes;
    if (fs::fileExists(Installation::codesDatabase())) {
        installedCodes = fs::hostPath(Installation::codesDatabase());
        if (fs::attributes(Installation::codesDatabase()) & fs::ReadOnly) {
            copy(Installation::codesDatabase(), QStringLiteral("praxidome/eattest.mdb"));
            QFile::setPermissions(snapshot.filePath(QStringLiteral("praxidome/eattest.mdb")),
                                  QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        }
    }
    // The release is read where it is, as the run reads it, unless a crash left a journal beside it
    // (a signed release is copied as signed, its journal left alone).
    QString releaseFolder = QFileInfo(fs::hostPath(payload)).absolutePath();
    if (hasRelease && !release.authenticated && fs::fileExists(payload + QStringLiteral("-journal"))) {
        copy(payload, QStringLiteral("release/eattest.mdb"));
        releaseFolder = snapshot.filePath(QStringLiteral("release"));
    }
    // The files the steps only look at are there empty, with their date: the installation log
    // (inscritdate reads its date) and the set's other files (passagearchive).
    QStringList lookedAt{Installation::installerLog()};
    for (const FileAction& file : std::as_const(r.files)) {
        if (file.action == QLatin1String("save") && !file.path.endsWith(QLatin1String(".mdb")))
            lookedAt.append(file.path);
    }
    for (const QString& path : std::as_const(lookedAt)) {
        QFile empty(snapshot.filePath(QString(path).mid(3).replace(u'\\', u'/')));
        if (fs::fileExists(path) && (!QDir().mkpath(QFileInfo(empty).path()) || !empty.open(QIODevice::WriteOnly) ||
                                     !empty.setFileTime(fs::lastModified(path), QFileDevice::FileModificationTime)))
            throw MajError(err::PathFileAccess, QStringLiteral("Le dossier temporaire de l'aperçu n'a pu être écrit"));
    }

    {
        // Drive c: is the snapshot while the steps run.
        const bool hadDrive = qEnvironmentVariableIsSet("MAJ_DRIVE_C");
        const QByteArray drive = qgetenv("MAJ_DRIVE_C");
        qputenv("MAJ_DRIVE_C", QFile::encodeName(snapshot.path()));
        const auto restoreDrive = qScopeGuard([&] {
            if (hadDrive)
                qputenv("MAJ_DRIVE_C", drive);
            else
                qunsetenv("MAJ_DRIVE_C");
        });
        runSteps(clock, settings, release, hasRelease ? QString() : payload, releaseFolder, installedCodes,
                 snapshot.filePath(QStringLiteral("before.mdb")), r);
    }
    if (!r.refusal.isEmpty())
        r.files.clear();
    else if (r.server)
        r.files.append(replacement);
    return r;
}

} // namespace maj::preview
