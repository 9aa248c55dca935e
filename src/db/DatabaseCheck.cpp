#include "db/DbSteps.h"

#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "platform/jet/QuickCheck.h"
#include "run/Step.h"

namespace maj {

void verifiebases(Form1Core& f)
{
    runStep(
        f, "verifiebases",
        [&] {
            for (const QString& path : Installation::practiceDatabases()) {
                const DatabaseHealth health = checkDatabaseFile(fs::hostPath(path));
                const QString end = QStringLiteral(" : la mise à jour ne peut pas se faire. Rien n'a été modifié.");
                if (health.state == DatabaseHealth::State::Damaged)
                    throw MajError(err::Corrupt,
                                   QStringLiteral("La base %1 est endommagée (%2)").arg(path, health.reason) + end);
                if (health.state == DatabaseHealth::State::Unreadable)
                    throw MajError(err::DiskOrNetwork,
                                   QStringLiteral("La base %1 n'a pu être lue (%2)").arg(path, health.reason) + end);
            }
        },
        [&](const MajError& e) {
            f.ui.message(e.description());
            f.ui.endProgram(ExitStatus::Failure);
        });
}

} // namespace maj
