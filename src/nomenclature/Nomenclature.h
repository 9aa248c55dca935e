#pragma once

#include "run/Form1Core.h"

// The tariff code steps.
namespace maj {

void btnbd_Click(Form1Core& f); // no failure handling of its own: failures go to the caller
void nouv(Form1Core& f);
void anciens(Form1Core& f);
void synchrotrajet(Form1Core& f);
void detruitcodesinami(Form1Core& f);
void rejetsetar(Form1Core& f);

} // namespace maj
