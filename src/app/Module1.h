#pragma once

namespace maj {

// The program's start-up routine: shows the splash window, then the main window (whose opening
// work runs before this returns), then asks the splash window to close after one tick.
void Main();

} // namespace maj
