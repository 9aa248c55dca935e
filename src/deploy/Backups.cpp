#include "deploy/Deploy.h"

#include "deploy/BackupSet.h"
#include "deploy/Files.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/MajError.h"
#include "run/Step.h"

namespace maj {

namespace {

// Saves one file of the set under its own name and records it in the manifest; a file that is not
// in the manifest counts as not saved. Without `copy`, the file is only recorded where it is.
void saveOrReport(Form1Core& f, const deploy::SetFile& file, bool copy)
{
    runStep(
        f, {"verstempo", file.path},
        [&] {
            // The settings database is let go before it is copied: a failed commit of what was
            // written through it counts against its copy.
            if (file.path == Installation::settingsDatabase())
                f.data.Data7.release();
            SavedFile saved;
            saved.path = file.path;
            saved.copy = deploy::copyName(file.path);
            if (file.optional && !fs::fileExists(file.path))
                saved.existed = false;
            else if (copy)
                saved = deploy::saveFile(f.engine, file.path, f.settings.BackupFolder, saved.copy);
            else if (!fs::fileExists(file.path))
                throw MajError(err::FileNotFound, file.path);
            f.backup.files.push_back(saved);
            if (!copy)
                return;
            try {
                deploy::writeManifest(deploy::runManifest(f));
            } catch (const MajError&) {
                f.backup.files.pop_back();
                throw;
            }
            f.log.write(saved.existed ? QStringLiteral("sauvegarde de %1 dans %2 : %3, vérifiée")
                                            .arg(file.path, f.settings.BackupFolder, fmt::size(saved.size))
                                      : file.path + QStringLiteral(" absent : noté comme tel dans le manifeste"));
        },
        [&](const MajError&) {
            f.ui.message(file.path + QStringLiteral(" n'a pas été trouvé ou n'a pu être sauvegardé"));
        });
}

void saveSet(Form1Core& f, bool copy)
{
    // Each file on its own: a missing help page must not leave the databases without a copy.
    f.backup = {};
    f.backup.started = f.clock.now();
    for (const deploy::SetFile& file : deploy::backupSet())
        saveOrReport(f, file, copy);
}

} // namespace

void passagearchive(Form1Core& f)
{
    // Each file on its own: one missing file must not leave the others read-only.
    for (const QString& file : {Installation::programFile(), Installation::settingsDatabase(),
                                Installation::patientDatabase(), Installation::helpPage()}) {
        runStep(
            f, {"passagearchive", file}, [&] { fs::setArchiveOnly(file); },
            [&](const MajError&) { f.ui.message(file + QStringLiteral(" était manquant")); });
    }
}

void verstempo(Form1Core& f)
{
    saveSet(f, true);
}

void listBackupSet(Form1Core& f)
{
    saveSet(f, false);
}

void copieexeavantpremiereMAJ(Form1Core& f)
{
    runStep(
        f, "copieexeavantpremiereMAJ",
        [&] {
            // Later runs of the same release keep the executable as it was before the release.
            const QString saved = f.settings.SafetyFolder + Installation::programName();
            if (!fs::fileExists(saved))
                deploy::deployFile(f.engine, Installation::programFile(), saved);
        },
        [&](const MajError&) { f.ui.message(QStringLiteral("L'ancien exe n'a pu être sauvegardé !")); });
}

void copienouvelexe(Form1Core& f)
{
    runStep(
        f, "copienouvelexe",
        [&] { deploy::deployPayloadFile(f, Installation::programName(), Installation::programFile()); },
        [&](const MajError&) { f.ui.message(QStringLiteral("Le nouvel exe n'a pu être copié !")); });
}

} // namespace maj
