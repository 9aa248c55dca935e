#pragma once

#include "run/Form1Core.h"

// The update sequence and the handlers of the main window's buttons, without widgets. The
// widgets of Form1 call these through runHandler(); the buttons that do the same share a handler.
namespace maj {

void btnoui_Click(Form1Core& f);
void btnnon_Click(Form1Core& f);
void btnquit_Click(Form1Core& f);
void Btnancienexe_Click(Form1Core& f);

} // namespace maj
