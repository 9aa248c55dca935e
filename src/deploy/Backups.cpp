#include "deploy/Deploy.h"

#include "app/core/Step.h"
#include "deploy/Files.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"

namespace maj {

namespace {

const QString kExecutable = QStringLiteral("c:\\praxidome\\praxidome.exe");
const QString kHelpPage = QStringLiteral("c:\\praxidome\\aide\\aide.htm");
const QString kSettingsDatabase = QStringLiteral("c:\\praxidome\\parametres.mdb");
const QString kPatientDatabase = QStringLiteral("c:\\praxidome\\pat.mdb");

// Copies a file into the backup folder; it counts as saved only once it reads back identical.
void save(Form1Core& f, const QString& source, const QString& name)
{
    const QString copy = f.settings.BackupFolder + QLatin1Char('\\') + name;
    deploy::deployFile(f.engine, source, copy);
    if (!deploy::sameContent(source, copy))
        throw MajError(err::PathFileAccess, QStringLiteral("La copie diffère de l'original"));
}

void saveOrReport(Form1Core& f, const QString& source, const QString& name, const std::function<void()>& before = {})
{
    runStep(
        f, "verstempo",
        [&] {
            if (before)
                before();
            save(f, source, name);
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
    saveOrReport(f, kExecutable, QStringLiteral("praxidome.exe"));
    saveOrReport(f, kHelpPage, QStringLiteral("aide.htm"));
    // The settings database is let go before it is copied: a failed commit of what was written
    // through it counts against its copy.
    saveOrReport(f, kSettingsDatabase, QStringLiteral("parametres.mdb"), [&] { f.data.Data7.release(); });
    saveOrReport(f, kPatientDatabase, QStringLiteral("pat.mdb"));
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
        f, "copienouvelexe",
        [&] { deploy::deployFile(f.engine, f.settings.PayloadFolder + QStringLiteral("praxidome.exe"), kExecutable); },
        [&](const MajError&) { f.ui.message(QStringLiteral("Le nouvel exe n'a pu être copié !")); });
}

} // namespace maj
