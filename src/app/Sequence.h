#pragma once

#include "run/Form1Core.h"

// The update sequence and the handlers of the main window's buttons, without widgets. The
// widgets of Form1 call these through runHandler().
namespace maj {

void Command1_Click(Form1Core& f);
void btnoui_Click(Form1Core& f);
void Command2_Click(Form1Core& f);
void btnnon_Click(Form1Core& f);
void btnquit_Click(Form1Core& f);
void btnquitter_Click(Form1Core& f);
void Btnancienexe_Click(Form1Core& f);

} // namespace maj
