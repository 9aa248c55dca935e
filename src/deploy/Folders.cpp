#include "deploy/Deploy.h"

#include "deploy/Release.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "run/Step.h"

namespace maj {

namespace {

// A folder that is already there is what the run expects: no failure to log, and for the support
// files' folders (`notePresent` false) nothing to log at all.
void createFolderUnlessThere(Form1Core& f, const char* step, const QString& folder, bool notePresent = true)
{
    if (fs::folderExists(folder)) {
        if (notePresent)
            f.log.write(QStringLiteral("dossier ") + folder + QStringLiteral(" déjà présent"));
        return;
    }
    runStep(
        f, {step, folder}, [&] { fs::createFolder(folder); }, silently);
}

} // namespace

void creerrepertoire(Form1Core& f)
{
    createFolderUnlessThere(f, "creerrepertoire", f.settings.SafetyFolder);
}

void preparerepertoire(Form1Core& f)
{
    // Dir-like test of the exact path: hidden or system files are not found, and the name must be
    // stored in exactly this letter case.
    const QStringList saved = fs::listFiles(f.settings.SafetyFolder + Installation::programName());
    if (saved.isEmpty() || saved.first() != Installation::programName()) {
        creerrepertoire(f);
        return;
    }
    f.window.btnancienexeVisible = true;
}

void creemaj(Form1Core& f)
{
    createFolderUnlessThere(f, "creemaj", Installation::workFolder());
}

void creermails(Form1Core& f)
{
    createFolderUnlessThere(f, "creermails", QStringLiteral("c:\\praxidome\\mails"), false);
}

void creerformulaires(Form1Core& f)
{
    createFolderUnlessThere(f, "creerformulaires", QStringLiteral("c:\\praxidome\\FORMULAIRES"), false);
}

QString backupFolderName(const QDateTime& moment)
{
    // Unpadded and day before month, as the backup folders have always been named: two moments
    // can give one name, and the second run then stops.
    return QStringLiteral("c:\\MAJ") + moment.toString(QStringLiteral("yyyydMHms"));
}

void nouveaudirectory(Form1Core& f)
{
    runStep(
        f, "nouveaudirectory",
        [&] {
            f.settings.BackupFolder = backupFolderName(f.clock.now());
            fs::createFolder(f.settings.BackupFolder);
            f.log.write(QStringLiteral("dossier de sauvegarde : ") + f.settings.BackupFolder);
            f.settings.PayloadFolder = deploy::payloadFolder(f.settings);
            f.log.write(QStringLiteral("fichiers de la mise à jour lus dans ") + f.settings.PayloadFolder);
        },
        [&](const MajError&) {
            f.ui.message(QStringLiteral("Le nouveau directory ne peut être créé ! Mise à jour impossible !"));
            f.ui.endProgram(ExitStatus::BackupFolder);
        });
}

} // namespace maj
