#include "app/Opening.h"

#include "db/DbSteps.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/MajError.h"
#include "platform/widgets/Printing.h"
#include "preview/Update.h"
#include "run/Step.h"

#include <QCoreApplication>
#include <QSysInfo>

namespace maj {

void setRunSettings(Form1Core& f)
{
    RunSettings& s = f.settings;
    s.VersionCaption = QStringLiteral("Version 8.x.x");
    s.HourlyRate = 67;
    s.HourlyRateInclVat = 81.07;
    s.AnnualFee = 640;
    s.TravelFee = 40;
    s.ExtraUserFee = 640;

    s.LanguageCode = QStringLiteral("NL");
    f.window.lbllangue = s.LanguageCode;
    s.MediaKind = QStringLiteral("CD");
    s.ReleaseDate = QStringLiteral("01/01/2021");
    f.window.lbldate = s.ReleaseDate;
    // The update's sequence number lives only in its hidden label, where the registration reads it.
    f.window.lblnumerodemaj = QStringLiteral("38");
    s.SafetyFolder = QStringLiteral("c:\\MAJJAN2021\\");
    s.ReleaseNumber = QStringLiteral(MAJ_VERSION); // the project's version (CMakeLists.txt)

    // From the clock, not from the release date: the upload sends this caption to the maker.
    const QDate today = f.clock.today();
    f.window.caption = QStringLiteral("Mise à jour ") + QString::number(today.month()) + QLatin1Char('/') +
                       QString::number(today.year()) + QStringLiteral(" : version ") + s.ReleaseNumber;
    f.window.notify();
}

namespace {

// Starts this run's lines in the log.
void beginLog(Form1Core& f)
{
    fs::requireOnDriveC(Installation::folder());
    f.log.onFailure = [&f](const QString& text) { f.ui.message(text); };
    f.log.open(Installation::runLog());
    QString station = QStringLiteral("poste inconnu");
    try {
        station = Installation::stationLabel(readStationRole(f));
    } catch (const MajError&) {
        // The opening reads it again below and reports its failure.
    }
    const RunSettings& s = f.settings;
    f.log.beginRun(logHeader({QStringLiteral("maj " MAJ_VERSION),
                              QStringLiteral("version ") + s.ReleaseNumber + QStringLiteral(" du ") + s.ReleaseDate,
                              QStringLiteral("ordinateur ") + QSysInfo::machineHostName(), station}));
    f.log.write(QStringLiteral("dossier du support : ") + fs::currentFolder() + QStringLiteral(" ; c: est ") +
                fs::driveCText() + QStringLiteral(" ; commande : ") +
                QCoreApplication::arguments().join(QLatin1Char(' ')));
}

} // namespace

void Form_Activate(Form1Core& f)
{
    // No handling of its own: a failure of its own statements is shown by the event handler's
    // boundary, which ends the program.
    runStep(
        f, "Form_Activate",
        [&] {
            setRunSettings(f);
            beginLog(f);
            convention(f);
            openUpdate(f, RunPolicy{});
        },
        passOn);
}

QStringList conventionLines(const RunSettings& s)
{
    const QString rate = fmt::number(s.HourlyRate);
    const QString rateInclVat = fmt::number(s.HourlyRateInclVat);
    return {
        // 1
        QStringLiteral("  CONTRAT DE MAINTENANCE"),
        QStringLiteral("  Entre:"),
        QStringLiteral("  Le dealer Norvix"),
        QStringLiteral("  dont le siège social est établi avenue des Tilleuls 27 à 1300 Wavre,"),
        QStringLiteral("  Ci dessous dénommé 'le vendeur'."),
        QStringLiteral("  Et:"),
        QStringLiteral("  l 'utilisateur du logiciel Praxidome qui en cliquant sur le bouton ' j'accepte les termes..' "
                       "ci-dessous marque son accord avec les clauses du présent contrat"),
        QStringLiteral("  Ci dessous dénommé  'l'utilisateur' "),
        QStringLiteral("  Concerne:    - gestion des droits et des obligations de l'utilisateur et du producteur du  "
                       "logiciel de gestion de dossiers patients en art dentaire, PraxiDome ."),
        QStringLiteral("                - maintenance : appui aux utilisateurs, offres de formations, mises à jour et "
                       "entretiens"),
        // 11
        QStringLiteral("  IL EST EXPOSE ET CONVENU:"),
        QStringLiteral("  Il est exposé"),
        QStringLiteral(
            "  1) que l'utilisateur a acquis le droit d'utilisation du logiciel PraxiDome produit par Norvix, "
            "ci-après dénommé 'le logiciel'."),
        QStringLiteral("  Le logiciel a  les coordonnées suivantes :") + s.VersionCaption,
        QStringLiteral(
            "  2) qu'à la suite des modifications de la législation et de nouvelles fonctions (suggérées par "
            "les utilisateurs ou visant à améliorer les performances),"),
        QStringLiteral("  Norvix réalise régulièrement une mise à jour ou une nouvelle version du logiciel."),
        QStringLiteral("  3) que l'utilisateur souhaite acquérir, de manière systématique, le droit d'utilisation de "
                       "chaque mise à jour et de chaque nouvelle version que Norvix réalise."),
        QStringLiteral(
            "  4) que l'utilisateur doit détenir le droit d'utilisation de la dernière version mise en vente "
            "pour bénéficier de la présente convention;"),
        QStringLiteral("  l'utilisateur dont le droit d'utilisation porte sur une version antérieure doit d'abord "
                       "acquérir les droits de la dernière version."),
        QStringLiteral("  Il a été convenu"),
        // 21
        QStringLiteral("  Article I: objet"),
        QStringLiteral("  Le vendeur s'engage à fournir à l'utilisateur les mises à jour et les nouvelles versions du "
                       "logiciel, ce que l'utilisateur accepte."),
        QStringLiteral("  Celles-ci sont fournies par la poste ou par Internet."),
        QStringLiteral("  La présente convention ne couvre pas les frais d'envoi postal."),
        QStringLiteral("  La présente convention ne couvre ni l'installation des mises à jour ni la formation."),
        QStringLiteral(
            "  Le producteur garantit une aide téléphonique les jours ouvrables (du lundi au vendredi, jours "
            "fériés exceptés) de 9h à 17h sans interruption."),
        QStringLiteral(
            "  Lorsque l'aide à distance n'a pas abouti, une intervention au cabinet du dentiste est proposée "
            "dans un délai de 48 h au plus, soit 2 jours ouvrables, week-ends et jours fériés exceptés."),
        QStringLiteral("  Cette intervention sera facturée à l'utilisateur au tarif horaire de ") + rate +
            QStringLiteral(" EUR  + TVA soit ") + rateInclVat + QStringLiteral(" EUR (+ 1 forfait de ") +
            fmt::number(s.TravelFee) + QStringLiteral(" EUR de déplacement)"),
        QStringLiteral("  Le producteur garantit le support des versions antérieures du logiciel pendant les 12 mois"),
        QStringLiteral("  qui suivent la mise à disposition de la dernière version."),
        // 31
        QStringLiteral("  Le vendeur proposera des formations, individuelles ou collectives, au logiciel et aux "
                       "nouveautés apportées par ses mises à jour."),
        QStringLiteral("  Cette formation sera facturée à l'utilisateur au tarif horaire de ") + rate +
            QStringLiteral(" EUR  + TVA soit ") + rateInclVat + QStringLiteral(" EUR."),
        QStringLiteral("  Le vendeur garantit la reprise des données de la version précédente (fichiers inactifs "
                       "compris) à chaque changement de version."),
        QStringLiteral("  Article 2 durée"),
        QStringLiteral(
            "  La présente convention prend cours à sa signature et se termine le 31/12 de l'année en cours."),
        QStringLiteral(
            "  Chacune des parties peut y mettre fin sans motif, par lettre recommandée envoyée au moins trois "
            "mois avant le 31/12 de chaque année."),
        QStringLiteral("  Elle est reconduite tacitement pour des périodes successives d'un an, du 01/01 au 31/12."),
        QStringLiteral("  Article 3: Les prix"),
        QStringLiteral(
            "  Le prix (hors taxes) d'une année de maintenance est le tarif annuel (hors taxes) publié chaque "
            "année, au plus tard le 1er février, sur le site Internet de Norvix."),
        QStringLiteral("  Le tarif annuel tient compte des conditions économiques au moment de la publication de la "
                       "liste des prix."),
        // 41
        QStringLiteral("  Ce prix est fixé pour la présente année à ") + fmt::number(s.AnnualFee) +
            QStringLiteral(" EUR  TTC. (+ ") + fmt::number(s.ExtraUserFee) +
            QStringLiteral(" EUR par utilisateur supplémentaire)"),
        QStringLiteral(
            "  Si la convention est signée après l'acquisition du logiciel, un supplément est dû, au prorata "
            "des mois écoulés depuis l'acquisition."),
        QStringLiteral("  Article 4: Paiement"),
        QStringLiteral("  Le tarif annuel est payable au comptant au plus tard un mois après la prise de cours de la "
                       "convention, sur présentation de la facture."),
        QStringLiteral("  En cas de reconduction tacite, le tarif annuel est payable au plus tard le 01/02 de chaque "
                       "année."),
        QStringLiteral("  Article 5: Conditions générales"),
        QStringLiteral(
            "  Les termes des conditions d'utilisation du logiciel (garanties, droits d'utilisation, durée de "
            "la garantie, droits d'auteur,"),
        QStringLiteral("  marques et autres droits de propriété intellectuelle) font partie intégrante de la présente "
                       "convention."),
        QStringLiteral("  Article 6: Résiliation anticipée:"),
        QStringLiteral("  Le vendeur peut mettre fin à la convention à tout moment, de plein droit, sans préavis ni "
                       "indemnité, dans les cas suivants :"),
        // 51
        QStringLiteral("  - le non-paiement du tarif annuel ou de toute facture émise par Norvix;"),
        QStringLiteral("  - la cessation des activités de Norvix."),
        QStringLiteral(
            "  - Quelle que soit la cause de la résiliation, une facture impayée suspend les mises à jour du "
            "logiciel."),
        QStringLiteral("  Article 7: Compétence"),
        QStringLiteral("  La présente convention est régie par le droit belge."),
        QStringLiteral("  En cas de litige relatif à son interprétation ou à son exécution, seuls les tribunaux de "
                       "l'arrondissement judiciaire de Namur sont compétents."),
        QStringLiteral("  SIGNATURE"),
        QStringLiteral(
            "  Cliquer sur le bouton ci-dessous pour poursuivre la mise à jour équivaut à une signature de la "
            "présente convention."),
    };
}

void convention(Form1Core& f)
{
    runStep(
        f, "convention",
        [&] {
            f.window.txtconvention = conventionLines(f.settings).join(QStringLiteral("\r\n"));
            f.window.notify();
        },
        [&](const MajError&) {
            // The text box is left as it was.
            f.window.notify();
            f.ui.message(QStringLiteral("La convention n'a pu s'afficher"));
        });
}

void btnimprimer_Click(Form1Core& f)
{
    printing::printOnDefaultPrinter(f.window.txtconvention, QStringLiteral("Contrat de maintenance"));
}

} // namespace maj
