#pragma once

#include "Clock.h"
#include "Form1Core.h"
#include "Ui.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

namespace maj::test {

// Records what the program shows instead of showing it; ends the program without ending the test.
class RecordingUi : public UiServices
{
public:
    QStringList messages;
    QStringList titles;
    QList<bool> cursors; // each setBusyCursor call
    int processed = 0;
    bool ended = false;
    // Runs when a message box would be shown (the test's "user" acting while it is open).
    std::function<void(const QString&)> onMessage;
    // Runs at each processEvents()/waitForEvents() (the user acting during a wait).
    std::function<void()> onEvents;

    void setBusyCursor(bool busy) override { cursors.append(busy); }
    void processEvents() override;
    void waitForEvents(int ms) override;
    void programEnded() override { ended = true; }

protected:
    void showMessage(const QString& text, const QString& title) override;
};

class FixedClock : public Clock
{
public:
    explicit FixedClock(QDateTime at = QDateTime(QDate(2026, 12, 5), QTime(20, 3, 7))) : moment(at) {}
    QDateTime now() const override { return moment; }
    QDateTime moment;
};

// A drive c: of its own: a temporary folder that $MAJ_DRIVE_C names while the object lives.
class TempDrive
{
public:
    TempDrive();
    ~TempDrive();
    TempDrive(const TempDrive&) = delete;
    TempDrive& operator=(const TempDrive&) = delete;

    // Host path of a path relative to the drive root ("praxidome/pat.mdb").
    QString host(const QString& relative = {}) const;
    // Creates a file (and its folders) with the given content; returns its host path.
    QString write(const QString& relative, const QByteArray& content = "x") const;
    QByteArray read(const QString& relative) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious = false;
};

// The project's source folder (schema files, fixtures).
QString sourceDir();

// Creates (or completes) an SQLite database file at a host path from schema/<schemaName>.sql
// ("pat", "parametres", "eattest", "pannexe", "traj", "rappels", "etarification").
void createDatabase(const QString& hostPath, const QString& schemaName);

} // namespace maj::test
