#pragma once

#include "run/Form1Core.h"

// Data sources, the databases' check, the running-application check, the update registration and
// the schema changes.
namespace maj {

// Binds Data7 to parametres.mdb / parapat, as the main window does when it loads.
void bindAtLoad(Form1Core& f);
void assignationdesbases(Form1Core& f);
// Checks the practice's databases that a run changes (pat.mdb, parametres.mdb, pannexe.mdb) before the
// window offers the update: a damaged or unreadable one is named with SQLite's reason, and the program
// ends (status 1) before anything is written. A missing or locked one is left to the steps that
// follow, which say so.
void verifiebases(Form1Core& f);
void voitsiouvert(Form1Core& f);
// True when the settings record marks a client workstation (column STATION = "CLIENT").
bool readStationRole(Form1Core& f);
// The station's role read into the run settings and its label; a failure names parametres.mdb.
void lirestation(Form1Core& f);

void inscritdate(Form1Core& f);

void Changertaillebase(Form1Core& f);
void Changertailleadresse(Form1Core& f);
void Changertailleadresserappels(Form1Core& f);
void creertpauto(Form1Core& f);
void effaceclesis(Form1Core& f);

} // namespace maj
