#pragma once

#include "run/Form1Core.h"

#include <QDateTime>

// Work folders, backups, the executable swap and the support files. Every step takes the main
// window's core, handles its own failures (its message, or none) and returns, unless it ends the
// program.
namespace maj {

// Folders, backups and the release's code database.
void creerrepertoire(Form1Core& f);
// The safety folder made, or, when it holds a saved executable already, the button that puts it back
// shown instead.
void preparerepertoire(Form1Core& f);
void creemaj(Form1Core& f);
void passagearchive(Form1Core& f);
void nouveaudirectory(Form1Core& f);
void verstempo(Form1Core& f);
// What verstempo does, without a copy or a manifest: the set recorded as it is, the files verstempo
// would find missing told as it tells them.
void listBackupSet(Form1Core& f);
void copienomen(Form1Core& f);

// Steps no sequence of this release calls: the executable swap and the support files, for a
// release that ships them.
void copieexeavantpremiereMAJ(Form1Core& f);
void copienouvelexe(Form1Core& f);
void copieaide(Form1Core& f);
void copieautres(Form1Core& f);
void assurability(Form1Core& f);
void creermails(Form1Core& f);
void creerformulaires(Form1Core& f);
void copierformulaires(Form1Core& f);
void copieraccourci(Form1Core& f);

// The backup folder's name for a moment: "c:\MAJ" + year, day, month, hour, minute, second,
// unpadded ("c:\MAJ20265122037" on 5 December 2026 at 20:03:07).
QString backupFolderName(const QDateTime& moment);

} // namespace maj
