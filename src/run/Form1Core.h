#pragma once

#include "platform/Clock.h"
#include "platform/RunLog.h"
#include "platform/Signature.h"
#include "platform/Transfer.h"
#include "platform/Ui.h"
#include "platform/jet/Database.h"
#include "run/Installation.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QStringList>

#include <array>
#include <memory>
#include <vector>

namespace maj {

// The release's constants and the run's shared values, in the order the main window keeps them.
struct RunSettings
{
    bool StationRole = false; // true: a client workstation
    QString LanguageCode;
    QString SafetyFolder;
    QString BackupFolder;
    QString PayloadFolder;
    QString VersionCaption;
    qint16 HourlyRate = 0;
    double HourlyRateInclVat = 0;
    qint16 AnnualFee = 0;
    qint16 TravelFee = 0;
    qint16 ExtraUserFee = 0;
    QString ReleaseNumber;
    QString ReleaseDate;
    QString MediaKind;
    QString ReportName;
};

// A file of the run's backup set: the original's Windows path, its copy's name in the backup
// folder, and the SHA-256 (hex) of the copy; a file that did not exist is recorded as such, so
// that putting the set back removes it.
struct SavedFile
{
    QString path;
    QString copy;
    bool existed = true;
    qint64 size = 0;
    QByteArray sha256;
    QByteArray sha256AtEnd; // as the run left the original; empty until the run ended
};

// The run's backup set as verstempo saved it, in the backup folder (RunSettings::BackupFolder).
struct BackupSet
{
    QDateTime started;
    std::vector<SavedFile> files;
    // The run's end is in the manifest: a failure after it no longer offers to put the set back.
    bool ended = false;
};

// The release as the opening found it in the payload folder.
struct ReleaseCheck
{
    bool authenticated = false;       // SHA256.sig holds for one of the keys, and every file it lists too
    QString key;                      // the key that signed it
    QString refusal;                  // why the release may not run (French), empty when it may
    QHash<QString, QByteArray> files; // the signed list: case-folded name -> SHA-256 (hex)
};

// The state of the main window's controls that the steps read and write. The widgets of Form1
// show it and follow its changed() signal; tests read it without a window.
class WindowModel : public QObject
{
    Q_OBJECT
public:
    QString caption;
    QString lbllangue;
    QString lbldate;
    QString lblnumerodemaj = QStringLiteral("Label1");
    QString LBLSERVEURCLIENT = QStringLiteral("POSTE");

    QString txtconvention;
    double txtconventionFontSize = 8.25;
    bool txtconventionVisible = true;

    QStringList l{QStringLiteral("Merci de bien prendre note des corrections à effectuer")};
    bool lVisible = false;
    bool btnquitterVisible = false;
    bool btnancienexeVisible = false;
    bool btnouiVisible = false;
    bool btnnonVisible = false;
    bool chkXP = false;
    // While the update sequence runs, the accept, refuse, print and restore buttons do nothing.
    bool running = false;
    // A second run is not wanted: once the sequence has started, accept, refuse and print stay off.
    bool sequenceStarted = false;
    bool contractButtonsEnabled() const { return !running && !sequenceStarted; }
    bool restoreButtonEnabled() const { return !running; }

    // What the run shows where the contract was: the step that runs and the progress bar.
    QString stepText;
    int progressValue = 0;
    int progressMaximum = 0;

    // Tells the widgets to show the model again.
    void notify() { emit changed(); }
    // Names the step that runs and moves the progress bar to `value` of `maximum`.
    void showStep(const QString& text, int value, int maximum);
    // Row progress of a long loop; throttled to a few updates a second, cheap to call per row.
    void showRows(qint64 done, qint64 total);

signals:
    void changed();
    void progressChanged();

private:
    QElapsedTimer m_rowsTimer;
};

// The fifteen named data sources of the main window.
struct DataSources
{
    explicit DataSources(Engine& runEngine) : engine(runEngine) {}
    Engine& engine;
    DataSource Data1{engine, QStringLiteral("Data1")};
    DataSource Data2{engine, QStringLiteral("Data2")};
    DataSource Data3{engine, QStringLiteral("Data3")};
    DataSource Data4{engine, QStringLiteral("Data4")};
    DataSource Data5{engine, QStringLiteral("Data5")};
    DataSource Data6{engine, QStringLiteral("Data6")};
    DataSource Data7{engine, QStringLiteral("Data7")};
    DataSource Data8{engine, QStringLiteral("Data8")};
    DataSource Data9{engine, QStringLiteral("Data9")};
    DataSource Data10{engine, QStringLiteral("Data10")};
    DataSource Data11{engine, QStringLiteral("Data11")};
    DataSource Data12{engine, QStringLiteral("Data12")};
    DataSource Data13{engine, QStringLiteral("Data13")};
    DataSource Data22{engine, QStringLiteral("Data22")};
    DataSource Data33{engine, QStringLiteral("Data33")};

    std::array<DataSource*, 15> all()
    {
        return {&Data1, &Data2,  &Data3,  &Data4,  &Data5,  &Data6,  &Data7, &Data8,
                &Data9, &Data10, &Data11, &Data12, &Data13, &Data22, &Data33};
    }
    // Data7's settings record, opened again when the window's load could not: the failure then
    // carries the engine's reason.
    Recordset& settingsRecord()
    {
        if (!Data7.isOpen())
            Data7.bind(Installation::settingsDatabase(), QStringLiteral("parapat"));
        return Data7.recordset();
    }
    // Lets go the census's sources, which hold the patient database, before any file is copied.
    void releaseCensus()
    {
        for (DataSource* source : {&Data1, &Data2, &Data3, &Data4})
            source->release();
    }
};

// The main window without its widgets: everything the steps work on. Every step is a free
// function taking it (`void nouv(Form1Core&)`).
struct Form1Core
{
    Form1Core(UiServices& uiServices, Clock& systemClock) : ui(uiServices), clock(systemClock) { ui.setLog(&log); }
    ~Form1Core() { ui.setLog(nullptr); }

    UiServices& ui;
    Clock& clock;
    RunLog log; // opened by the opening work
    RunSettings settings;
    BackupSet backup;
    WindowModel window;
    Engine engine; // before the data sources, which it outlives
    DataSources data{engine};
    std::unique_ptr<Transfer> Inet1;
    // Who may sign a release (the build's keys; tests set their own); none: releases go unchecked.
    std::vector<signify::PublicKey> releaseKeys = signify::builtInKeys();
    ReleaseCheck release;
};

} // namespace maj
