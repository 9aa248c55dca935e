#include "platform/MajError.h"

#include <QHash>

namespace maj {

QString standardDescription(int number)
{
    static const QHash<int, QString> texts = {
        {err::BadFileName, QStringLiteral("Nom ou numéro de fichier incorrect")},
        {err::FileNotFound, QStringLiteral("Fichier introuvable")},
        {err::FileAlreadyExists, QStringLiteral("Ce fichier existe déjà")},
        {err::DiskFull, QStringLiteral("Disque plein")},
        {err::PermissionDenied, QStringLiteral("Permission refusée")},
        {err::PathFileAccess, QStringLiteral("Erreur d'accès au chemin ou au fichier")},
        {err::PathNotFound, QStringLiteral("Chemin d'accès introuvable")},
        {err::ObjectNotSet, QStringLiteral("Variable objet ou variable de bloc With non définie")},
        {err::PrinterError, QStringLiteral("Erreur d'imprimante")},
        {err::NoCurrentRecord, QStringLiteral("Aucun enregistrement en cours.")},
        {err::DuplicateKey,
         QStringLiteral("Les modifications n'ont pas été effectuées car elles créeraient des doublons dans l'index, "
                        "la clé primaire ou la relation.")},
        {err::DatabaseNotFound, QStringLiteral("Le fichier de base de données est introuvable.")},
        {err::NotAValidPath, QStringLiteral("Ce chemin d'accès n'est pas valide.")},
        {err::CannotOpenFile,
         QStringLiteral("Le moteur de base de données ne peut pas ouvrir le fichier : il est déjà ouvert en mode "
                        "exclusif par un autre utilisateur, ou vous n'avez pas l'autorisation de l'ouvrir.")},
        {err::TooFewParameters, QStringLiteral("Trop peu de paramètres.")},
        {err::QuerySyntax, QStringLiteral("Erreur de syntaxe dans l'expression de la requête.")},
        {err::ExpressionSyntax, QStringLiteral("Erreur de syntaxe dans l'expression.")},
        {err::TableNotFound, QStringLiteral("Le moteur de base de données ne trouve pas la table ou la requête.")},
        {err::FieldTooSmall, QStringLiteral("Le champ est trop petit pour accepter la quantité de données.")},
        {err::ItemNotFound, QStringLiteral("Élément non trouvé dans cette collection.")},
        {err::ConversionError, QStringLiteral("Erreur de conversion de type de données.")},
    };
    return texts.value(number, QStringLiteral("Erreur définie par l'application ou par l'objet"));
}

MajError::MajError(int number, QString description)
    : m_number(number), m_description(description.isEmpty() ? standardDescription(number) : std::move(description)),
      m_what(numberAndDescription().toUtf8())
{}

QString MajError::numberAndDescription() const
{
    return QString::number(m_number) + QStringLiteral(": ") + m_description;
}

} // namespace maj
