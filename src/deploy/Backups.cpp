#include "deploy/Deploy.h"

#include "app/core/Step.h"
#include "deploy/BackupSet.h"
#include "deploy/Files.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"

namespace maj {

namespace {

const QString kExecutable = QStringLiteral("c:\\praxidome\\praxidome.exe");
const QString kHelpPage = QStringLiteral("c:\\praxidome\\aide\\aide.htm");
const QString kSettingsDatabase = QStringLiteral("c:\\praxidome\\parametres.mdb");
const QString kPatientDatabase = QStringLiteral("c:\\praxidome\\pat.mdb");

const QString kAnnexDatabase = QStringLiteral("c:\\praxidome\\pannexe.mdb");
const QString kCodesDatabase = QStringLiteral("c:\\praxidome\\eattest.mdb");

enum class IfMissing
{
    Report,
    Record // a database some installations lack: nothing to save, and to put back is to remove it
};

// Saves one file of the set under its own name and records it in the manifest; a file that is not
// in the manifest counts as not saved.
void saveOrReport(Form1Core& f, const QString& source, IfMissing missing, const std::function<void()>& before = {})
{
    runStep(
        f, "verstempo",
        [&] {
            if (before)
                before();
            const QString name = deploy::copyName(source);
            SavedFile saved;
            if (missing == IfMissing::Record && !fs::fileExists(source)) {
                saved.path = source;
                saved.copy = name;
                saved.existed = false;
            } else {
                saved = deploy::saveFile(f.engine, source, f.settings.BackupFolder, name);
            }
            f.backup.files.push_back(saved);
            try {
                deploy::writeManifest(deploy::runManifest(f));
            } catch (const MajError&) {
                f.backup.files.pop_back();
                throw;
            }
        },
        [&](const MajError&) {
            f.ui.message(source + QStringLiteral(" n'a pas été trouvé ou n'a pu être sauvegardé"));
        });
}

} // namespace

void passagearchive(Form1Core& f)
{
    // Each file on its own: one missing file must not leave the others read-only.
    for (const QString& file : {kExecutable, kSettingsDatabase, kPatientDatabase, kHelpPage}) {
        runStep(
            f, "passagearchive", [&] { fs::setArchiveOnly(file); },
            [&](const MajError&) { f.ui.message(file + QStringLiteral(" était manquant")); });
    }
}

void verstempo(Form1Core& f)
{
    // Each file on its own: a missing help page must not leave the databases without a copy.
    f.backup = {};
    f.backup.started = f.clock.now();
    saveOrReport(f, kExecutable, IfMissing::Report);
    saveOrReport(f, kHelpPage, IfMissing::Report);
    // The settings database is let go before it is copied: a failed commit of what was written
    // through it counts against its copy.
    saveOrReport(f, kSettingsDatabase, IfMissing::Report, [&] { f.data.Data7.release(); });
    saveOrReport(f, kPatientDatabase, IfMissing::Report);
    saveOrReport(f, kAnnexDatabase, IfMissing::Record);
    saveOrReport(f, kCodesDatabase, IfMissing::Record);
}

void copieexeavantpremiereMAJ(Form1Core& f)
{
    runStep(
        f, "copieexeavantpremiereMAJ",
        [&] {
            // Later runs of the same release keep the executable as it was before the release.
            const QString saved = f.settings.SafetyFolder + QStringLiteral("praxidome.exe");
            if (!fs::fileExists(saved))
                deploy::deployFile(f.engine, kExecutable, saved);
        },
        [&](const MajError&) { f.ui.message(QStringLiteral("L'ancien exe n'a pu être sauvegardé !")); });
}

void copienouvelexe(Form1Core& f)
{
    runStep(
        f, "copienouvelexe", [&] { deploy::deployPayloadFile(f, QStringLiteral("praxidome.exe"), kExecutable); },
        [&](const MajError&) { f.ui.message(QStringLiteral("Le nouvel exe n'a pu être copié !")); });
}

} // namespace maj
