#include "preview/Update.h"

#include "db/DbSteps.h"
#include "deploy/BackupSet.h"
#include "deploy/Deploy.h"
#include "deploy/Release.h"
#include "nomenclature/Nomenclature.h"
#include "platform/Logging.h"
#include "platform/MajError.h"
#include "report/Report.h"

#include <algorithm>

namespace maj {

namespace {

struct OpeningStep
{
    Routine run;
    Effect effect = Effect::Installation;
};

// The first of `files` that the backup set does not hold, or an empty text.
QString unsaved(const BackupSet& backup, const QStringList& files)
{
    const auto missing = std::ranges::find_if(files, [&](const QString& file) {
        return std::ranges::none_of(backup.files, [&](const SavedFile& saved) { return saved.path == file; });
    });
    return missing == files.cend() ? QString() : *missing;
}

} // namespace

const std::vector<UpdateStep>& updateSteps()
{
    using enum Stations;
    using enum Effect;
    static const std::vector<UpdateStep> steps{
        {.text = QStringLiteral("Envoi du rapport d'activité..."),
         .run = envoyer,
         .effect = Upload,
         // Without the upload, the census's sources still let the patient database go.
         .standIn = [](Form1Core& f) { f.data.releaseCensus(); },
         .standInText = QStringLiteral("Libération des bases de données...")},
        {.text = QStringLiteral("Préparation des fichiers..."), .run = passagearchive},
        {.text = QStringLiteral("Création du dossier de sauvegarde..."), .run = nouveaudirectory, .effect = Backup},
        {.text = QStringLiteral("Sauvegarde des fichiers..."),
         .run = verstempo,
         .effect = Backup,
         .standIn = listBackupSet},
        {.text = QStringLiteral("Copie des nouveaux codes de nomenclature..."),
         .run = copienomen,
         .writes = {Installation::codesDatabase()},
         .stations = Server},
        {.text = QStringLiteral("Ouverture des bases de données..."), .run = assignationdesbases, .stations = Server},
        {.text = QStringLiteral("Ajout des nouveaux codes de nomenclature..."),
         .run = nouv,
         .writes = {Installation::patientDatabase()},
         .stations = Server},
        {.text = QStringLiteral("Mise à jour de la nomenclature..."),
         .run = anciens,
         .writes = {Installation::patientDatabase()},
         .stations = Server},
        {.text = QStringLiteral("Inscription de la mise à jour..."),
         .run = inscritdate,
         .writes = {Installation::annexDatabase(), Installation::settingsDatabase()}},
        {.text = QStringLiteral("Vérification de la nomenclature..."),
         .run = btnbd_Click,
         .stations = Server,
         .afterEnd = true},
    };
    return steps;
}

void openUpdate(Form1Core& f, const RunPolicy& policy)
{
    using enum Effect;
    // Only reads until the release is accepted: a release refused changes nothing. Older runs that
    // never ended are then recorded as interrupted.
    static const OpeningStep steps[]{
        {deploy::verifiemaj, Check},       {verifiebases, Check},       {lirestation},          {deploy::verifienumero},
        {deploy::markInterrupted, Backup}, {preparerepertoire, Backup}, {voitsiouvert, Backup}, {cadastre},
    };
    for (const OpeningStep& step : steps) {
        if (!policy.keeps(step.effect))
            continue;
        step.run(f);
        f.window.notify();
    }
}

void runUpdate(Form1Core& f, const RunPolicy& policy)
{
    const auto attempt = [&](const std::function<void()>& statement) {
        try {
            statement();
        } catch (const MajError& e) {
            if (e.number() == err::ItemNotFound) {
                qCDebug(lcStep) << "ignoré:" << e.what();
                return;
            }
            f.ui.message(QString::number(e.number()) + QStringLiteral(": ") + e.description() +
                         QStringLiteral(" pendant ") + QStringLiteral(" source: ") + QStringLiteral(" cible: "));
            f.ui.message(Installation::updateUnfinished());
            f.ui.endProgram(policy.stop(f, &e));
        }
    };

    const Stations station = f.settings.StationRole ? Stations::Client : Stations::Server;
    std::vector<const UpdateStep*> steps;
    for (const UpdateStep& step : updateSteps()) {
        if (step.stations == Stations::Both || step.stations == station)
            steps.push_back(&step);
    }
    const int count = int(steps.size());
    int index = 0;
    const auto run = [&](const UpdateStep& step) {
        const bool left = !policy.keeps(step.effect);
        const Routine routine = left ? step.standIn : step.run;
        // A file the run could not save is never changed by it.
        if (const QString file = unsaved(f.backup, step.writes); !file.isEmpty()) {
            f.log.write(QStringLiteral("arrêt avant « ") + step.text + QStringLiteral(" » : ") + file +
                        QStringLiteral(" n'a pas été sauvegardé"));
            f.ui.message(Installation::updateUnfinished());
            f.ui.endProgram(policy.stop(f, nullptr));
        }
        f.window.showStep(left && !step.standInText.isEmpty() ? step.standInText : step.text, index++, count);
        if (!routine)
            return;
        policy.before(step);
        attempt([&] { routine(f); });
        policy.after(step);
    };

    auto next = steps.cbegin();
    run(**next++);
    attempt([&] {
        f.window.txtconventionVisible = f.window.btnnonVisible = f.window.btnouiVisible = false;
        f.window.notify();
    });
    attempt([&] { f.ui.setBusyCursor(true); });
    for (; next != steps.cend() && !(*next)->afterEnd; ++next)
        run(**next);
    if (policy.backups)
        attempt([&] { deploy::recordRunEnd(f); });
    attempt([&] { f.ui.setBusyCursor(false); });
    f.window.showStep(Installation::updateDone(), index, count);
    attempt([&] { f.ui.message(Installation::updateDone()); });
    if (next == steps.cend())
        f.ui.endProgram();
    for (; next != steps.cend(); ++next)
        run(**next);
}

} // namespace maj
