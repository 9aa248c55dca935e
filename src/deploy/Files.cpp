#include "deploy/Files.h"

#include "deploy/Release.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "platform/Sha256.h"
#include "platform/jet/Database.h"

namespace maj::deploy {

void deployFile(Engine& engine, const QString& source, const QString& target, Sha256* digest)
{
    if (source.endsWith(QLatin1String(".mdb"), Qt::CaseInsensitive))
        engine.prepareCopy(source);
    fs::copyFile(source, target, digest);
    fs::setArchiveOnly(target);
}

namespace {

// True when the copy was checked against the signed list; false when there is no list to check.
bool copySigned(Form1Core& f, const QString& name, const QString& target)
{
    const QByteArray listed = signedSha256(f, name);
    if (listed.isEmpty())
        return false;
    // Hashed as it is copied; the target is replaced only by the bytes the maker signed.
    Sha256 digest;
    fs::StagedCopy copy(f.settings.PayloadFolder + name, target, &digest);
    if (digest.hex() != listed)
        throw MajError(err::PathFileAccess, name + QStringLiteral(" ne correspond pas à la liste signée de la mise à "
                                                                  "jour : il a été modifié"));
    copy.replaceTarget();
    return true;
}

} // namespace

void copyPayloadFile(Form1Core& f, const QString& name, const QString& target)
{
    if (!copySigned(f, name, target))
        fs::copyFile(f.settings.PayloadFolder + name, target);
}

void deployPayloadFile(Form1Core& f, const QString& name, const QString& target)
{
    if (copySigned(f, name, target))
        fs::setArchiveOnly(target);
    else
        deployFile(f.engine, f.settings.PayloadFolder + name, target);
}

} // namespace maj::deploy
