#include "deploy/Files.h"

#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "platform/jet/Database.h"

namespace maj::deploy {

void deployFile(Engine& engine, const QString& source, const QString& target)
{
    if (source.endsWith(QLatin1String(".mdb"), Qt::CaseInsensitive))
        engine.prepareCopy(source);
    fs::copyFile(source, target);
    fs::setArchiveOnly(target);
}

} // namespace maj::deploy
