#pragma once

#include "run/Form1Core.h"

namespace maj {

// Checks the practice's databases that a run changes (pat.mdb, parametres.mdb, pannexe.mdb) before the
// window offers the update: a damaged or unreadable one is named with SQLite's reason, and the program
// ends (status 1) before anything is written. A missing or locked one is left to the steps that
// follow, which say so.
void verifiebases(Form1Core& f);

} // namespace maj
