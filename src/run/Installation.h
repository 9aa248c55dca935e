#pragma once

#include <QString>
#include <QStringList>

namespace maj {

// The installation the program updates, named once: its files (Windows paths), the station labels
// and the words that more than one step shows.
struct Installation
{
    static QString folder() { return QStringLiteral("c:\\praxidome"); }
    static QString programFile() { return QStringLiteral("c:\\praxidome\\praxidome.exe"); }
    static QString programName() { return QStringLiteral("praxidome.exe"); } // in the release and the safety folder
    static QString helpPage() { return QStringLiteral("c:\\praxidome\\aide\\aide.htm"); }
    static QString patientDatabase() { return QStringLiteral("c:\\praxidome\\pat.mdb"); }
    static QString settingsDatabase() { return QStringLiteral("c:\\praxidome\\parametres.mdb"); }
    static QString annexDatabase() { return QStringLiteral("c:\\praxidome\\pannexe.mdb"); }
    // The practice's databases the run changes.
    static QStringList practiceDatabases() { return {patientDatabase(), settingsDatabase(), annexDatabase()}; }
    static QString codesDatabase() { return QStringLiteral("c:\\praxidome\\eattest.mdb"); }
    static QString remindersDatabase() { return QStringLiteral("c:\\praxidome\\rappels.mdb"); }
    static QString journeysDatabase() { return QStringLiteral("c:\\praxidome\\traj.mdb"); }
    static QString rejectionsDatabase() { return QStringLiteral("c:\\praxidome\\etarification.mdb"); }
    static QString runLog() { return QStringLiteral("c:\\praxidome\\maj.log"); }
    // The installer's uninstall log: its last change dates the installation.
    static QString installerLog() { return QStringLiteral("c:\\praxidome\\st6unst.log"); }
    // The work folder: the release when it was not brought on a CD, the activity report.
    static QString workFolder() { return QStringLiteral("c:\\praxidome\\MAJ"); }
    static QString inWorkFolder(const QString& name) { return workFolder() + QLatin1Char('\\') + name; }

    static QString stationLabel(bool client)
    {
        return client ? QStringLiteral("POSTE CLIENT") : QStringLiteral("SERVEUR");
    }

    static QString updateDone() { return QStringLiteral("Mise à jour effectuée!"); }
    static QString updateUnfinished() { return QStringLiteral("La mise à jour n'a pas été réalisée jusqu'au bout!"); }
    static QString nothingPutBack() { return QStringLiteral(" : rien n'a été remis en place."); }
};

} // namespace maj
