#pragma once

#include <QString>

#include <functional>

namespace maj {

// The process's exit status (the README's table): 0 when the program ends as the user asked or the
// run completed, another value for each failure that ends it.
enum class ExitStatus : int
{
    Completed = 0,
    Failure = 1,            // a failure of the opening work or of printing, or one nobody handled
    ApplicationRunning = 2, // the patient database could not be copied aside
    BackupFolder = 3,       // the backup folder could not be created
    UpdateIncomplete = 4,   // the sequence's own handler stopped the run
    EarlierUpdates = 5,     // the folders of earlier updates are missing
    Restored = 6,           // the run stopped on a failure and the files were put back as before it
    ReleaseRefused = 8,     // the release is not the maker's as signed, or older than the installed one
};

class RunLog;

// What the steps ask of the window system. The real implementation (platform widgets) uses
// QMessageBox, the override cursor and QCoreApplication::processEvents; tests record instead.
class UiServices
{
public:
    virtual ~UiServices() = default;

    static QString defaultTitle() { return QStringLiteral("Mise à jour"); }

    // A modal box with an OK button and no icon.
    void message(const QString& text, const QString& title = defaultTitle());
    // A modal question with the buttons "Oui" (the default) and "Non"; true for Oui.
    bool ask(const QString& text, const QString& title = defaultTitle());
    // Where the messages, the questions and the end of the program are logged (none: nowhere).
    void setLog(RunLog* log) { m_log = log; }
    // Hourglass (true) or default pointer (false), screen-wide.
    virtual void setBusyCursor(bool busy) = 0;
    // Lets the window process its pending events once.
    virtual void processEvents() = 0;
    // Lets the window sleep in its event loop for at most `ms` milliseconds, woken by any event;
    // used by waits that poll.
    virtual void waitForEvents(int ms) = 0;

    // Ends the program at once: throws ProgramEnded, which only the event-handler boundary
    // (runHandler) catches; no later statement runs. Writes the steps did not commit are lost.
    [[noreturn]] void endProgram(ExitStatus status = ExitStatus::Completed);
    // The status the program ends with: that of the last endProgram().
    ExitStatus exitStatus() const { return m_exitStatus; }

    // Called by runHandler once ProgramEnded reached it: the real implementation leaves the process
    // with exitStatus().
    virtual void programEnded() = 0;

protected:
    virtual void showMessage(const QString& text, const QString& title) = 0;
    virtual bool showQuestion(const QString& text, const QString& title) = 0;

private:
    void log(const QString& text);

    ExitStatus m_exitStatus = ExitStatus::Completed;
    RunLog* m_log = nullptr;
};

// The last boundary before Qt's event loop: runs an event handler, turns ProgramEnded into
// ui.programEnded(), and shows anything else that escaped as "number: description" before ending
// the program with ExitStatus::Failure (no exception ever crosses the event loop).
void runHandler(UiServices& ui, const std::function<void()>& handler);

} // namespace maj
