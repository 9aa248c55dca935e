#include "db/DbSteps.h"

#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "run/Step.h"

namespace maj {

void bindAtLoad(Form1Core& f)
{
    // A data control that cannot open shows nothing when the window loads; reading the settings
    // record then reports the engine's own error (readStationRole).
    runStep(
        f, "Form_Load", [&] { f.data.Data7.bind(Installation::settingsDatabase(), QStringLiteral("parapat")); },
        silently);
}

void assignationdesbases(Form1Core& f)
{
    runStep(
        f, "assignationdesbases",
        [&] {
            f.data.Data1.bind(Installation::patientDatabase(), QStringLiteral("nomenclature"));
            f.data.Data2.bind(Installation::codesDatabase(), QStringLiteral("nomen"));
            f.data.Data3.bind(Installation::patientDatabase(), QStringLiteral("patients"));
        },
        [&](const MajError&) { f.ui.message(QStringLiteral("Bases non assignées !")); });
}

void voitsiouvert(Form1Core& f)
{
    runStep(
        f, "voitsiouvert",
        [&] {
            // Fails while another process holds the database for writing: the application is running.
            // The copy is the state before this run: a journal left by a crash is rolled back first.
            f.engine.prepareCopy(Installation::patientDatabase());
            fs::copyFile(Installation::patientDatabase(), f.settings.SafetyFolder + QStringLiteral("pat.mdb"));
            // A read-only source must not leave a copy that the next run cannot replace.
            fs::setArchiveOnly(f.settings.SafetyFolder + QStringLiteral("pat.mdb"));
        },
        [&](const MajError&) {
            f.ui.message(QStringLiteral("Praxidome semble être en fonctionnement. Veuillez fermer le programme sur "
                                        "tous les postes puis recommencer la mise à jour svp"));
            f.ui.endProgram(ExitStatus::ApplicationRunning);
        });
}

bool readStationRole(Form1Core& f)
{
    Recordset& record = f.data.settingsRecord();
    record.moveFirst();
    const Value station = record.field(QStringLiteral("STATION"));
    return !station.isNull() && station.toString().trimmed().compare(QLatin1String("CLIENT"), Qt::CaseInsensitive) == 0;
}

void lirestation(Form1Core& f)
{
    try {
        f.settings.StationRole = readStationRole(f);
    } catch (const MajError& e) {
        throw MajError(e.number(), Installation::settingsDatabase() +
                                       QStringLiteral(" ne dit pas si ce poste est le serveur : ") + e.description());
    }
    f.window.LBLSERVEURCLIENT = Installation::stationLabel(f.settings.StationRole);
}

} // namespace maj
