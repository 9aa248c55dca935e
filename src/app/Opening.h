#pragma once

#include "run/Form1Core.h"

// The main window's opening work and the contract text, without widgets.
namespace maj {

// The release's run settings and the window's captions (opening work steps 1 to 8).
void setRunSettings(Form1Core& f);
// Form_Activate of Form1: the whole opening work, in its order. Failures of its own statements go to
// the caller (the window runs it through runHandler, which shows them and ends the program).
void Form_Activate(Form1Core& f);
// The contract's 58 lines (pure: from the run settings and the regional settings).
QStringList conventionLines(const RunSettings& settings);
// Fills txtconvention with the contract.
void convention(Form1Core& f);
// Prints the current text of txtconvention on the default printer. No failure handling of its own:
// with no printer it throws 482, which the button's handler shows before ending the program.
void btnimprimer_Click(Form1Core& f);

} // namespace maj
