#include "Deploy.h"

#include "FileSystem.h"
#include "Logging.h"
#include "MajError.h"

namespace maj {

void creerrepertoire(Form1Core& f)
{
    StepScope scope("creerrepertoire");
    try {
        fs::createFolder(f.settings.SafetyFolder);
    } catch (const MajError& e) {
        qCDebug(lcDb) << "creerrepertoire:" << e.what();
    }
}

void creemaj(Form1Core&)
{
    StepScope scope("creemaj");
    try {
        fs::createFolder(QStringLiteral("c:\\praxidome\\MAJ"));
    } catch (const MajError& e) {
        qCDebug(lcDb) << "creemaj:" << e.what();
    }
}

} // namespace maj
