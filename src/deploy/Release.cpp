#include "deploy/Release.h"

#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "run/Step.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <functional>
#include <optional>

namespace maj::deploy {

namespace {

const QString kSignature = QStringLiteral("SHA256.sig");
// A signature and its list of files take a few kilobytes: a larger file is no release's, and is
// not read into memory.
constexpr qint64 kSignatureMaxBytes = 1 << 20;

ReleaseCheck refused(const QString& what)
{
    ReleaseCheck check;
    check.refusal =
        QStringLiteral("Le support de la mise à jour n'est pas authentique (%1) : rien n'a été modifié.").arg(what);
    return check;
}

// The last update number the registration wrote into the settings record; empty when unreadable.
QString recordedUpdate(Form1Core& f)
{
    try {
        Recordset& record = f.data.settingsRecord();
        record.moveFirst();
        return record.field(QStringLiteral("NUMERO_MAJ")).toString();
    } catch (const MajError&) {
        // The opening reads the record again and reports what is wrong with it.
        return {};
    }
}

// The names and SHA-256 (hex) of "SHA256 (NAME) = HEX" lines, in their order; nothing when a line
// is not one, or when a name comes twice (letter case aside, as Windows names match).
std::optional<std::vector<std::pair<QString, QByteArray>>> parseSha256List(const QByteArray& list)
{
    static const QRegularExpression line(QStringLiteral("^SHA256 \\((.+)\\) = ([0-9a-f]{64})$"));
    std::vector<std::pair<QString, QByteArray>> files;
    QSet<QString> names;
    for (const QByteArray& text : list.split('\n')) {
        if (text.isEmpty())
            continue;
        const QRegularExpressionMatch m = line.match(QString::fromUtf8(text));
        if (!m.hasMatch() || names.contains(m.captured(1).toCaseFolded()))
            return std::nullopt;
        names.insert(m.captured(1).toCaseFolded());
        files.emplace_back(m.captured(1), m.captured(2).toLatin1());
    }
    if (files.empty())
        return std::nullopt;
    return files;
}

// The refusal of an update number lower than the one the registration recorded last (`recorded`,
// read as a whole number; anything else refuses nothing); empty when the update may run.
QString olderReleaseRefusal(const QString& update, const QString& recorded)
{
    bool updateIsNumber = false;
    bool recordedIsNumber = false;
    const qlonglong ours = update.toLongLong(&updateIsNumber);
    const qlonglong last = recorded.trimmed().toLongLong(&recordedIsNumber);
    if (!updateIsNumber || !recordedIsNumber || ours >= last)
        return {};
    return QStringLiteral("Cette mise à jour (n° %1) est plus ancienne que la dernière installée (n° %2) : rien "
                          "n'a été modifié.")
        .arg(update, QString::number(last));
}

// A refused release is shown and ends the program; nothing was written.
void refuseOn(Form1Core& f, const char* name, const std::function<void()>& check)
{
    runStep(f, name, check, [&](const MajError& e) {
        f.ui.message(e.description());
        f.ui.endProgram(ExitStatus::ReleaseRefused);
    });
}

} // namespace

QString payloadFolder(const RunSettings& settings)
{
    QString folder =
        settings.MediaKind == QLatin1String("CD") ? fs::currentFolder() : QStringLiteral("c:\\praxidome\\maj\\");
    if (!folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('\\');
    return folder;
}

ReleaseCheck checkSignedRelease(const QString& folder, const std::vector<signify::PublicKey>& keys)
{
    const QString signaturePath = folder + kSignature;
    if (!fs::fileExists(signaturePath))
        return refused(kSignature + QStringLiteral(" est absent"));
    QFile file(fs::hostPath(signaturePath));
    if (!file.open(QIODevice::ReadOnly))
        return refused(kSignature + QStringLiteral(" n'a pu être lu"));
    const QByteArray signature = file.read(kSignatureMaxBytes + 1);
    if (signature.size() > kSignatureMaxBytes)
        return refused(kSignature + QStringLiteral(" est illisible"));
    const signify::Verified verified = signify::verifyEmbedded(signature, keys);
    // The refusal of a signature that does not hold, by outcome; a signature or a list that cannot be
    // read is refused as illegible.
    static const QHash<int, QString> refusals{
        {signify::Verified::UnknownKey, kSignature + QStringLiteral(" est signé par une clé inconnue")},
        {signify::Verified::BadSignature,
         QStringLiteral("la liste de ") + kSignature + QStringLiteral(" a été modifiée après sa signature")}};
    const auto listed = verified.outcome == signify::Verified::Good ? parseSha256List(verified.message) : std::nullopt;
    if (!listed)
        return refused(refusals.value(verified.outcome, kSignature + QStringLiteral(" est illisible")));
    ReleaseCheck check;
    for (const auto& [name, sha256] : *listed) {
        const QString path = folder + QString(name).replace(QLatin1Char('/'), QLatin1Char('\\'));
        try {
            if (!fs::fileExists(path))
                return refused(name + QStringLiteral(" est absent"));
            if (fs::sha256(path) != sha256)
                return refused(name + QStringLiteral(" a été modifié"));
        } catch (const MajError&) {
            return refused(name + QStringLiteral(" n'a pu être lu"));
        }
        check.files.insert(name.toCaseFolded(), sha256);
    }
    check.authenticated = true;
    check.key = verified.keyName;
    return check;
}

void verifiemaj(Form1Core& f)
{
    refuseOn(f, "verifiemaj", [&] {
        f.release = {};
        if (f.releaseKeys.empty()) {
            f.log.write(QStringLiteral("mise à jour non authentifiée : ce programme n'a pas de clé de Norvix"));
            return;
        }
        f.release = checkSignedRelease(payloadFolder(f.settings), f.releaseKeys);
        if (!f.release.refusal.isEmpty())
            throw MajError(err::PathFileAccess, f.release.refusal);
        f.log.write(QStringLiteral("mise à jour authentifiée : %1 signé par la clé %2, %3 fichiers vérifiés")
                        .arg(kSignature, f.release.key, QString::number(f.release.files.size())));
    });
}

void verifienumero(Form1Core& f)
{
    refuseOn(f, "verifienumero", [&] {
        f.release.refusal = olderReleaseRefusal(f.window.lblnumerodemaj, recordedUpdate(f));
        if (!f.release.refusal.isEmpty())
            throw MajError(err::PathFileAccess, f.release.refusal);
    });
}

QByteArray signedSha256(const Form1Core& f, const QString& name)
{
    if (f.releaseKeys.empty())
        return {};
    const QByteArray sha256 = f.release.files.value(name.toCaseFolded());
    if (sha256.isEmpty())
        throw MajError(err::FileNotFound, name + QStringLiteral(" n'est pas dans la liste signée de la mise à jour"));
    return sha256;
}

} // namespace maj::deploy
