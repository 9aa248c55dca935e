#include "deploy/Deploy.h"

#include "deploy/Files.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "run/Step.h"

#include <QStandardPaths>

#include <utility>

namespace maj {

namespace {

// A payload file's name and where it goes.
using PayloadFile = std::pair<QString, QString>;

// A step that deploys payload files in order and shows one message when one fails; the first
// failure stops the rest.
void deployStep(Form1Core& f, const char* step, std::initializer_list<PayloadFile> files, const QString& message)
{
    runStep(
        f, step,
        [&] {
            for (const auto& [name, target] : files)
                deploy::deployPayloadFile(f, name, target);
        },
        [&](const MajError&) { f.ui.message(message); });
}

} // namespace

void copienomen(Form1Core& f)
{
    deployStep(f, "copienomen", {{QStringLiteral("eattest.mdb"), Installation::codesDatabase()}},
               QStringLiteral("eattest.mdb n'a pu être copié !"));
}

void copieaide(Form1Core& f)
{
    deployStep(f, "copieaide", {{QStringLiteral("aide.htm"), Installation::helpPage()}},
               QStringLiteral("Le nouveau fichier d'aide n'a pu être copié !"));
}

void copieautres(Form1Core& f)
{
    deployStep(
        f, "copieautres",
        {{QStringLiteral("MyCarenetProxy6.jar"), QStringLiteral("c:\\praxidome\\ASSURABILITY\\MyCarenetProxy6.jar")}},
        f.settings.PayloadFolder + QStringLiteral("MyCarenetProxy6.jar n'a pu être copié !"));
}

void assurability(Form1Core& f)
{
    const QString stores = QStringLiteral("c:\\praxidome\\ASSURABILITY\\P12\\PRD\\");
    const PayloadFile files[] = {
        {QStringLiteral("MyCarenetProxy2.jar"), QStringLiteral("c:\\praxidome\\ASSURABILITY\\MyCarenetProxy2.jar")},
        {QStringLiteral("truststore.jks"), stores + QStringLiteral("truststore.jks")},
        {QStringLiteral("caCertificateKeystore.jks"), stores + QStringLiteral("caCertificateKeystore.jks")},
        {QStringLiteral("tsacertificate.jks"), stores + QStringLiteral("tsacertificate.jks")},
    };
    QString source;
    runStep(
        f, "assurability",
        [&] {
            for (const auto& [name, target] : files) {
                source = f.settings.PayloadFolder + name;
                deploy::deployPayloadFile(f, name, target);
            }
        },
        [&](const MajError& e) {
            f.ui.message(e.description() + QStringLiteral(" pendant copie ") + source);
            // The folders come from earlier updates: without them this one cannot be completed.
            f.ui.message(QStringLiteral(
                "Vous n'avez pas exécuté toutes les dernières mises à jour. Celle-ci ne peut donc aller au bout"));
            f.ui.endProgram(ExitStatus::EarlierUpdates);
        });
}

void copierformulaires(Form1Core& f)
{
    deployStep(f, "copierformulaires",
               {{QStringLiteral("DPSI_P1.jpg"), QStringLiteral("c:\\praxidome\\FORMULAIRES\\DPSI_P1.jpg")},
                {QStringLiteral("DPSI_P2.jpg"), QStringLiteral("c:\\praxidome\\FORMULAIRES\\DPSI_P2.jpg")}},
               QStringLiteral("Un ou des formulaires n'ont pas pu être copiés ! (Voir antivirus)"));
}

void copieraccourci(Form1Core& f)
{
    runStep(
        f, "copieraccourci",
        [&] {
            // Taken from the current folder whatever the media kind, for this and every later step;
            // the backslash is added even at a drive root.
            f.settings.PayloadFolder = fs::currentFolder() + QLatin1Char('\\');
            const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
            if (desktop.isEmpty())
                throw MajError(err::PathNotFound);
            // Copied under another name and with its attributes as they come.
            deploy::copyPayloadFile(f, QStringLiteral("Praxidome_ Assistance.lnk"),
                                    fs::windowsPath(desktop) + QStringLiteral("\\praxidome_Assistance.lnk"));
        },
        [&](const MajError&) { f.ui.message(QStringLiteral("Le raccourci n'a pas été copié sur le bureau")); });
}

} // namespace maj
