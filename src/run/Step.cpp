#include "run/Step.h"

#include "platform/Logging.h"
#include "platform/jet/Database.h"
#include "run/Form1Core.h"

#include <QElapsedTimer>

#include <map>
#include <optional>

namespace maj {

QString stepText(const StepName& step)
{
    // %1: the file or folder the call names.
    using I = Installation;
    static const std::map<QByteArray, QString> texts{
        {"Form_Load", QStringLiteral("lecture de ") + I::settingsDatabase()},
        {"Form_Activate", QStringLiteral("ouverture de la fenêtre")},
        {"verifiemaj", QStringLiteral("vérification de la mise à jour (SHA256.sig)")},
        {"verifiebases", QStringLiteral("vérification de ") + I::patientDatabase() + QStringLiteral(", ") +
                             I::settingsDatabase() + QStringLiteral(" et ") + I::annexDatabase()},
        {"verifienumero",
         QStringLiteral("comparaison du numéro de la mise à jour avec celui de ") + I::settingsDatabase()},
        {"manifestes", QStringLiteral("relevé des mises à jour interrompues (c:\\MAJ…\\manifeste.ini)")},
        {"convention", QStringLiteral("affichage du contrat")},
        {"creerrepertoire", QStringLiteral("création du dossier de secours %1")},
        {"voitsiouvert",
         QStringLiteral("copie de ") + I::patientDatabase() + QStringLiteral(" dans le dossier de secours")},
        {"cadastre", QStringLiteral("relevé d'activité (") + I::inWorkFolder(QStringLiteral("*.pxd)"))},
        {"creemaj", QStringLiteral("création du dossier de travail %1")},
        {"envoyer", QStringLiteral("envoi du rapport d'activité")},
        {"passagearchive", QStringLiteral("attribut archive seul pour %1")},
        {"nouveaudirectory", QStringLiteral("création du dossier de sauvegarde")},
        {"verstempo", QStringLiteral("sauvegarde de %1")},
        {"copienomen", QStringLiteral("copie de eattest.mdb dans ") + I::codesDatabase()},
        {"assignationdesbases",
         QStringLiteral("ouverture de ") + I::patientDatabase() + QStringLiteral(" et de ") + I::codesDatabase()},
        {"nouv", QStringLiteral("ajout des nouveaux codes dans ") + I::patientDatabase()},
        {"anciens", QStringLiteral("mise à jour des codes de ") + I::patientDatabase()},
        {"inscritdate", QStringLiteral("inscription de la mise à jour dans ") + I::annexDatabase() +
                            QStringLiteral(" et ") + I::settingsDatabase()},
        {"btnbd_Click", QStringLiteral("recherche des abréviations en double dans ") + I::patientDatabase()},
        {"Btnancienexe_Click", QStringLiteral("remise en place de l'ancien ") + I::programFile()},
    };
    const QString routine = QLatin1String(step.routine);
    const auto text = texts.find(step.routine);
    if (text == texts.end())
        return step.file.isEmpty() ? routine : routine + QLatin1Char(' ') + step.file;
    QString what = text->second;
    if (what.contains(QLatin1String("%1")))
        what = what.arg(step.file);
    else if (!step.file.isEmpty())
        what += QStringLiteral(" : ") + step.file;
    return what + QStringLiteral(" (") + routine + QLatin1Char(')');
}

QString failureText(const MajError& error)
{
    return QStringLiteral("erreur ") + QString::number(error.number()) + QStringLiteral(", ") + error.description();
}

void silently(const MajError&) {}

void passOn(const MajError& error)
{
    throw error;
}

void runStep(Form1Core& f, const StepName& name, const std::function<void()>& body, const FailureRule& onFailure,
             LostWrites lost)
{
    const QString what = stepText(name);
    qCDebug(lcStep).noquote() << "début" << what;
    f.log.write(QStringLiteral("début : ") + what);
    QElapsedTimer duration;
    duration.start();
    Transaction writes(f.engine);
    std::optional<MajError> failure;
    try {
        body();
    } catch (const MajError& e) {
        qCDebug(lcStep).noquote() << what << e.what();
        failure = e;
    }
    bool writesLost = false;
    try {
        writes.commit();
    } catch (const MajError& e) {
        qCWarning(lcStep).noquote() << what << "écritures perdues :" << e.what();
        failure = e;
        writesLost = true;
    }
    qCDebug(lcStep).noquote() << "fin" << what;
    // The duration goes inside the step's parentheses: "(verstempo, 12 ms)".
    const QString ended =
        (what.endsWith(QLatin1Char(')')) ? what.chopped(1) + QStringLiteral(", ") : what + QStringLiteral(" (")) +
        QString::number(duration.elapsed()) + QStringLiteral(" ms)");
    f.log.write(failure ? QStringLiteral("échec : ") + ended + QStringLiteral(" : ") + failureText(*failure)
                        : QStringLiteral("fin : ") + ended);
    if (!failure)
        return;
    const bool dataLost = writesLost || failure->number() == err::DiskFull || failure->number() == err::DiskOrNetwork;
    if (dataLost && lost == LostWrites::ToCaller)
        throw *failure;
    onFailure(*failure);
}

} // namespace maj
