#pragma once

#include "Form1Core.h"

// The main window's opening work and the contract text, without widgets.
namespace maj {

// The release's run settings and the window's captions (opening work steps 1 to 8).
void setRunSettings(Form1Core& f);
// Form_Activate of Form1: the whole opening work, in its order.
void Form_Activate(Form1Core& f);
// The contract's 58 lines (pure: from the run settings and the regional settings).
QStringList conventionLines(const RunSettings& settings);
// Fills txtconvention with the contract.
void convention(Form1Core& f);

} // namespace maj
