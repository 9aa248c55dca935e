#include "preview/Preview.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

namespace maj::preview {

namespace {

QJsonValue jsonValue(const Value& value)
{
    if (!value.isValid())
        return QJsonValue::Null;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::Double:
        return value.toDouble();
    default:
        return value.toString();
    }
}

QString shown(const Value& value)
{
    if (!value.isValid())
        return QStringLiteral("(vide)");
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("oui") : QStringLiteral("non");
    return value.toString();
}

QString sizeAndDate(const FileAction& file)
{
    return QLocale().toString(file.size) + QStringLiteral(" octets, du ") +
           QLocale().toString(file.modified, QStringLiteral("dd/MM/yyyy HH:mm"));
}

QString plural(qint64 count, const char* one, const char* many)
{
    return QLocale().toString(count) + QLatin1Char(' ') + QString::fromUtf8(count > 1 ? many : one);
}

} // namespace

QString frenchText(const Result& r)
{
    QStringList out;
    out << QStringLiteral("Aperçu de la mise à jour ") + r.release + QStringLiteral(" du ") + r.releaseDate +
               QStringLiteral(" sur ce poste (") +
               (r.server ? QStringLiteral("serveur") : QStringLiteral("poste client")) +
               QStringLiteral(") : rien n'a été modifié.");
    if (r.authenticated)
        out << QStringLiteral("Mise à jour authentifiée : SHA256.sig signé par la clé ") + r.key +
                   QStringLiteral(", chaque fichier tel que signé.");
    else if (r.refusal.isEmpty())
        out << QStringLiteral("Mise à jour non authentifiée : ce programme n'a pas de clé de Norvix.");
    if (!r.refusal.isEmpty()) {
        out << QStringLiteral("La mise à jour refuserait de démarrer et ne modifierait rien :") << r.refusal;
        return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }
    if (r.running)
        out << QStringLiteral("Attention : praxidome semble être en fonctionnement ; la mise à jour ne démarrera "
                              "qu'une fois le programme fermé sur tous les postes.");

    out << QString() << QStringLiteral("Fichiers que la mise à jour sauvegarderait :");
    for (const FileAction& file : r.files) {
        if (file.action == QLatin1String("save"))
            out << QStringLiteral("  ") + file.path + QStringLiteral("  ") + sizeAndDate(file);
    }
    for (const FileAction& file : r.files) {
        if (file.action == QLatin1String("missing"))
            out << QStringLiteral("  ") + file.path + QStringLiteral("  absent : la mise à jour le signalerait");
    }
    for (const FileAction& file : r.files) {
        if (file.action != QLatin1String("replace"))
            continue;
        out << QStringLiteral("Fichier qu'elle remplacerait :");
        QString current = QStringLiteral("absent");
        for (const FileAction& saved : r.files) {
            if (saved.action == QLatin1String("save") && saved.path == file.path)
                current = sizeAndDate(saved);
        }
        out << QStringLiteral("  ") + file.path + QStringLiteral("  actuel : ") + current +
                   QStringLiteral(" ; nouveau : ") + sizeAndDate(file) + QStringLiteral(" (") + file.source +
                   QLatin1Char(')');
    }

    out << QString();
    if (!r.server) {
        out << QStringLiteral("Nomenclature : un poste client ne la modifie pas (le serveur la met à jour).");
    } else {
        out << QStringLiteral("Nomenclature : ") + plural(r.codes.added.size(), "code ajouté", "codes ajoutés") +
                   QStringLiteral(", ") + plural(r.codes.changed.size(), "code modifié", "codes modifiés") +
                   QStringLiteral(", ") + plural(r.codes.unchanged, "code inchangé", "codes inchangés") +
                   QLatin1Char('.');
        if (!r.codes.added.isEmpty())
            out << QStringLiteral("Codes ajoutés (code, abréviation) :");
        for (const QVariantList& code : r.codes.added)
            out << QStringLiteral("  ") + shown(code.at(0)) + QStringLiteral("  ") + shown(code.at(1));
        if (!r.codes.changed.isEmpty())
            out << QStringLiteral("Codes modifiés (colonne : ancienne valeur -> nouvelle valeur) :");
        for (const TableChanges::Row& code : r.codes.changed) {
            out << QStringLiteral("  ") + shown(code.key);
            for (const ColumnChange& change : code.columns)
                out << QStringLiteral("      ") + change.name + QStringLiteral(" : ") + shown(change.before) +
                           QStringLiteral(" -> ") + shown(change.after);
        }
        out << QStringLiteral("Doublons d'abréviation que la vérification signalerait ensuite :");
        if (r.duplicates.isEmpty())
            out << QStringLiteral("  aucun");
        for (const QString& line : r.duplicates)
            out << QStringLiteral("  ") + line;
    }

    out << QString();
    if (r.registration.written)
        out << QStringLiteral("Inscription : mise à jour n° ") + r.registration.number + QStringLiteral(" du ") +
                   r.registration.releaseDate + QStringLiteral(", inscrite le ") +
                   QLocale().toString(r.registration.date, QStringLiteral("dd/MM/yyyy")) + QLatin1Char('.');
    else
        out << QStringLiteral("Inscription : la mise à jour n° ") + r.registration.number +
                   QStringLiteral(" ne serait pas inscrite.");
    if (r.report.name.isEmpty()) {
        out << QStringLiteral("Rapport d'activité : aucun, rien ne serait envoyé à Norvix.");
    } else {
        out << QStringLiteral("Rapport d'activité que la mise à jour enverrait à Norvix : ") + r.report.name +
                   QStringLiteral(" (") + plural(r.report.lines.size(), "ligne", "lignes") + QStringLiteral(") :");
        for (const QString& line : r.report.lines)
            out << QStringLiteral("  ") + line;
    }
    out << (r.tls ? QStringLiteral("Transferts vers Norvix : chiffrés (HTTPS et FTP sur TLS, serveurs vérifiés).")
                  : QStringLiteral("Transferts vers Norvix : en clair (MAJ_UPLOAD_TLS=off) : le rapport et le mot de "
                                   "passe FTP passeraient en clair."));

    out << QString() << QStringLiteral("Messages que la mise à jour afficherait :");
    for (const QString& message : r.messages)
        out << QStringLiteral("  ") + message;
    if (!r.stop.isEmpty())
        out << QString()
            << QStringLiteral("La mise à jour s'arrêterait sur l'erreur ") + r.stop +
                   QStringLiteral(" et proposerait de remettre praxidome dans l'état où il était avant elle.");
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QByteArray json(const Result& r)
{
    QJsonArray files;
    for (const FileAction& file : r.files) {
        const bool present = file.action != QLatin1String("missing");
        QJsonObject entry{
            {QStringLiteral("path"), file.path},
            {QStringLiteral("action"), file.action},
            {QStringLiteral("size"), present ? QJsonValue(file.size) : QJsonValue()},
            {QStringLiteral("sha256"), present ? QJsonValue(QString::fromLatin1(file.sha256)) : QJsonValue()},
            {QStringLiteral("modified"), present ? QJsonValue(file.modified.toString(Qt::ISODate)) : QJsonValue()}};
        if (!file.source.isEmpty())
            entry.insert(QStringLiteral("source"), file.source);
        files.append(entry);
    }
    QJsonArray added;
    for (const QVariantList& code : r.codes.added)
        added.append(QJsonObject{{QStringLiteral("code"), jsonValue(code.at(0))},
                                 {QStringLiteral("abbreviation"), jsonValue(code.at(1))}});
    QJsonArray changed;
    for (const TableChanges::Row& code : r.codes.changed) {
        QJsonObject columns;
        for (const ColumnChange& change : code.columns)
            columns.insert(change.name, QJsonObject{{QStringLiteral("old"), jsonValue(change.before)},
                                                    {QStringLiteral("new"), jsonValue(change.after)}});
        changed.append(
            QJsonObject{{QStringLiteral("code"), jsonValue(code.key)}, {QStringLiteral("columns"), columns}});
    }
    const QJsonObject registration{{QStringLiteral("number"), r.registration.number},
                                   {QStringLiteral("releaseDate"), r.registration.releaseDate},
                                   {QStringLiteral("date"), r.registration.date.toString(Qt::ISODate)},
                                   {QStringLiteral("written"), r.registration.written}};
    const QJsonValue report = r.report.name.isEmpty()
                                  ? QJsonValue()
                                  : QJsonObject{{QStringLiteral("name"), r.report.name},
                                                {QStringLiteral("lines"), QJsonArray::fromStringList(r.report.lines)}};
    const QJsonObject document{
        {QStringLiteral("release"),
         QJsonObject{{QStringLiteral("number"), r.release},
                     {QStringLiteral("authenticated"), r.authenticated},
                     {QStringLiteral("key"), r.key.isEmpty() ? QJsonValue() : QJsonValue(r.key)},
                     {QStringLiteral("refusal"), r.refusal.isEmpty() ? QJsonValue() : QJsonValue(r.refusal)}}},
        {QStringLiteral("releaseDate"), r.releaseDate},
        {QStringLiteral("station"), r.server ? QStringLiteral("server") : QStringLiteral("client")},
        {QStringLiteral("running"), r.running},
        {QStringLiteral("files"), files},
        {QStringLiteral("added"), added},
        {QStringLiteral("changed"), changed},
        {QStringLiteral("unchanged"), r.codes.unchanged},
        {QStringLiteral("duplicates"), QJsonArray::fromStringList(r.duplicates)},
        {QStringLiteral("registration"), registration},
        {QStringLiteral("report"), report},
        {QStringLiteral("transfer"), QJsonObject{{QStringLiteral("tls"), r.tls}}},
        {QStringLiteral("messages"), QJsonArray::fromStringList(r.messages)},
        {QStringLiteral("stop"), r.stop.isEmpty() ? QJsonValue() : QJsonValue(r.stop)},
    };
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

} // namespace maj::preview
