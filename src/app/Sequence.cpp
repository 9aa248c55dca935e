#include "app/Sequence.h"

#include "app/core/Step.h"
#include "db/DbSteps.h"
#include "deploy/BackupSet.h"
#include "deploy/Deploy.h"
#include "nomenclature/Nomenclature.h"
#include "platform/FileSystem.h"
#include "platform/Logging.h"
#include "platform/MajError.h"
#include "report/Report.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace maj {

namespace {

// The sequence's own failure handling, around each of its statements: an item missing from a
// collection (3265) resumes with the next statement; anything else stops the update. The pointer
// stays as it is.
void attempt(Form1Core& f, const std::function<void()>& statement)
{
    try {
        statement();
    } catch (const MajError& e) {
        if (e.number() == err::ItemNotFound) {
            qCDebug(lcStep) << "ignoré:" << e.what();
            return;
        }
        f.ui.message(QString::number(e.number()) + QStringLiteral(": ") + e.description() +
                     QStringLiteral(" pendant ") + QStringLiteral(" source: ") + QStringLiteral(" cible: "));
        f.ui.message(QStringLiteral("La mise à jour n'a pas été réalisée jusqu'au bout!"));
        f.ui.endProgram(deploy::offerUndo(f, &e));
    }
}

const QString kPatientDatabase = QStringLiteral("c:\\praxidome\\pat.mdb");

struct Step
{
    QString text; // what the window shows while the step runs
    std::function<void(Form1Core&)> run;
    QStringList writes = {}; // the files of the backup set it changes
};

// The first of `files` that the backup set does not hold, or an empty text.
QString unsaved(const BackupSet& backup, const QStringList& files)
{
    for (const QString& file : files) {
        if (std::none_of(backup.files.cbegin(), backup.files.cend(),
                         [&](const SavedFile& saved) { return saved.path == file; }))
            return file;
    }
    return {};
}

void releaseCensusSources(Form1Core& f)
{
    for (DataSource* source : {&f.data.Data1, &f.data.Data2, &f.data.Data3, &f.data.Data4})
        source->release();
}

// Clears the running state when the sequence returns to the waiting window.
class RunningState
{
public:
    explicit RunningState(WindowModel& window) : m_window(window)
    {
        m_window.running = true;
        m_window.sequenceStarted = true;
        m_window.notify();
    }
    ~RunningState()
    {
        m_window.running = false;
        m_window.notify();
    }
    RunningState(const RunningState&) = delete;
    RunningState& operator=(const RunningState&) = delete;

private:
    WindowModel& m_window;
};

} // namespace

void Command1_Click(Form1Core& f)
{
    btnoui_Click(f);
}

void btnoui_Click(Form1Core& f)
{
    // The upload lets the window process clicks while it waits: no second run, inside the first or
    // after it.
    if (!f.window.contractButtonsEnabled())
        return;
    RunningState running(f.window);

    const bool server = !f.settings.StationRole;
    std::vector<Step> steps;
    if (f.window.chkXP) {
        // The transfer control is missing: no upload, but the census's data sources still give
        // the patient database back before any file is copied.
        steps.push_back({QStringLiteral("Libération des bases de données..."), releaseCensusSources});
    } else {
        steps.push_back({QStringLiteral("Envoi du rapport d'activité..."), envoyer});
    }
    steps.push_back({QStringLiteral("Préparation des fichiers..."), passagearchive});
    steps.push_back({QStringLiteral("Création du dossier de sauvegarde..."), nouveaudirectory});
    steps.push_back({QStringLiteral("Sauvegarde des fichiers..."), verstempo});
    if (server) {
        steps.push_back({QStringLiteral("Copie des nouveaux codes de nomenclature..."),
                         copienomen,
                         {QStringLiteral("c:\\praxidome\\eattest.mdb")}});
        steps.push_back({QStringLiteral("Ouverture des bases de données..."), assignationdesbases});
        steps.push_back({QStringLiteral("Ajout des nouveaux codes de nomenclature..."), nouv, {kPatientDatabase}});
        steps.push_back({QStringLiteral("Mise à jour de la nomenclature..."), anciens, {kPatientDatabase}});
    }
    steps.push_back({QStringLiteral("Inscription de la mise à jour..."),
                     inscritdate,
                     {QStringLiteral("c:\\praxidome\\pannexe.mdb"), QStringLiteral("c:\\praxidome\\parametres.mdb")}});
    if (server)
        steps.push_back({QStringLiteral("Vérification de la nomenclature..."), btnbd_Click});
    const int count = int(steps.size());
    int index = 0;
    const auto runStep = [&](const Step& step) {
        // A file the run could not save is never changed by it.
        if (const QString file = unsaved(f.backup, step.writes); !file.isEmpty()) {
            f.log.write(QStringLiteral("arrêt avant « ") + step.text + QStringLiteral(" » : ") + file +
                        QStringLiteral(" n'a pas été sauvegardé"));
            f.ui.message(QStringLiteral("La mise à jour n'a pas été réalisée jusqu'au bout!"));
            f.ui.endProgram(deploy::offerUndo(f, nullptr));
        }
        f.window.showStep(step.text, index++, count);
        attempt(f, [&] { step.run(f); });
    };

    auto next = steps.cbegin();
    runStep(*next++);
    attempt(f, [&] {
        f.window.txtconventionVisible = false;
        f.window.btnnonVisible = false;
        f.window.btnouiVisible = false;
        f.window.notify();
    });
    attempt(f, [&] { f.ui.setBusyCursor(true); });
    // passagearchive, nouveaudirectory, verstempo, the server's nomenclature steps, inscritdate.
    const auto last = server ? steps.cend() - 1 : steps.cend();
    while (next != last)
        runStep(*next++);
    attempt(f, [&] { deploy::recordRunEnd(f); });
    attempt(f, [&] { f.ui.setBusyCursor(false); });
    f.window.showStep(QStringLiteral("Mise à jour effectuée!"), index, count);
    attempt(f, [&] { f.ui.message(QStringLiteral("Mise à jour effectuée!")); });
    if (server)
        runStep(*next);
    else
        f.ui.endProgram();
}

void Command2_Click(Form1Core& f)
{
    btnnon_Click(f);
}

void btnnon_Click(Form1Core& f)
{
    // Refusing in the middle of an update would end it half done, and after it comes too late.
    if (!f.window.contractButtonsEnabled())
        return;
    f.ui.message(QStringLiteral("Merci d'avertir Norvix que vous souhaitez résilier la convention de mise à jour"));
    f.ui.endProgram();
}

void btnquit_Click(Form1Core& f)
{
    f.ui.endProgram();
}

void btnquitter_Click(Form1Core& f)
{
    f.ui.endProgram();
}

void Btnancienexe_Click(Form1Core& f)
{
    // Not in the middle of an update (the upload's waits let clicks through).
    if (f.window.running)
        return;
    const QString installed = QStringLiteral("c:\\praxidome\\praxidome.exe");
    bool restored = false;
    // The executable in use: nothing is shown and the window stays.
    runStep(
        f, "Btnancienexe_Click",
        [&] {
            fs::copyFile(f.settings.SafetyFolder + QStringLiteral("praxidome.exe"), installed);
            fs::setArchiveOnly(installed);
            restored = true;
        },
        silently);
    if (!restored)
        return;
    f.ui.message(QStringLiteral("L'ancien exécutable a été restauré !"));
    f.ui.endProgram();
}

} // namespace maj
