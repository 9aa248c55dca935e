#include "app/Sequence.h"

#include "deploy/BackupSet.h"
#include "platform/FileSystem.h"
#include "preview/Update.h"
#include "run/Step.h"

#include <QScopeGuard>

namespace maj {

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
    f.window.running = true;
    f.window.sequenceStarted = true;
    f.window.notify();
    // Back to the waiting window however the sequence returns.
    const auto stopped = qScopeGuard([&f] {
        f.window.running = false;
        f.window.notify();
    });

    // Without the transfer control (chkXP) nothing is sent.
    runUpdate(f, {.upload = !f.window.chkXP, .stop = deploy::offerUndo});
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
    const QString installed = Installation::programFile();
    bool restored = false;
    // The executable in use: nothing is shown and the window stays.
    runStep(
        f, "Btnancienexe_Click",
        [&] {
            fs::copyFile(f.settings.SafetyFolder + Installation::programName(), installed);
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
