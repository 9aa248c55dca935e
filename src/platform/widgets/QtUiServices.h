#pragma once

#include "platform/Ui.h"

namespace maj {

// The window system's services: message boxes, the screen-wide pointer, the event loop and the end
// of the process.
class QtUiServices final : public UiServices
{
public:
    // The old pointer was a state, not a stack: any number of hourglass calls are undone by one
    // default call.
    void setBusyCursor(bool busy) override;
    void processEvents() override;
    // Sleeps in the event loop until an event arrives or `ms` milliseconds pass, processes what came.
    void waitForEvents(int ms) override;
    // Leaves the process at once with exitStatus(): no destructors, no clean-up (pending database
    // writes were committed by endProgram()). Standard output and error are flushed first.
    [[noreturn]] void programEnded() override;

protected:
    // Modal, no icon, OK only.
    void showMessage(const QString& text, const QString& title) override;
    bool showQuestion(const QString& text, const QString& title) override;

private:
    bool m_busy = false;
};

} // namespace maj
