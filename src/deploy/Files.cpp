#include "deploy/Files.h"

#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "platform/jet/Database.h"

#include <QFile>

namespace maj::deploy {

void deployFile(Engine& engine, const QString& source, const QString& target)
{
    if (source.endsWith(QLatin1String(".mdb"), Qt::CaseInsensitive))
        engine.prepareCopy(source);
    fs::copyFile(source, target);
    fs::setArchiveOnly(target);
}

bool sameContent(const QString& first, const QString& second)
{
    QFile a(fs::hostPath(first));
    QFile b(fs::hostPath(second));
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly))
        return false;
    if (a.size() != b.size())
        return false;
    constexpr qint64 kChunk = 256 * 1024;
    while (!a.atEnd()) {
        const QByteArray left = a.read(kChunk);
        const QByteArray right = b.read(kChunk);
        if (left.isEmpty() && a.error() != QFileDevice::NoError)
            return false;
        if (left != right)
            return false;
    }
    return b.atEnd();
}

} // namespace maj::deploy
