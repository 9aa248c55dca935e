#pragma once

#include "app/Form1.h"
#include "app/frmsplash.h"

#include <QPointer>

#include <memory>

namespace maj {

// The program's start-up routine: shows the splash window, then the main window (whose opening
// work runs before this returns), then asks the splash window to close after one tick.
//
// With the environment variable MAJ_SCREENSHOT_DIR set (the demo without a display), it then saves
// both windows as <dir>/frmsplash.png and <dir>/Form1.png and ends the program.
void Main();

// The two windows as Main leaves them. The splash window deletes itself when it unloads.
struct StartedWindows
{
    QPointer<frmsplash> splash;
    std::unique_ptr<Form1> form;
    // False when the opening work ended the program (the splash was then not asked to close).
    bool opened = false;
};

// Main's work with the given services.
StartedWindows startWindows(UiServices& ui, Clock& clock);

// Saves pictures of the windows still on screen into `folder`; false when one could not be written.
bool saveScreenshots(const StartedWindows& windows, const QString& folder);

} // namespace maj
