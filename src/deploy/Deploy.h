#pragma once

#include "app/core/Form1Core.h"

#include <QDateTime>

// Work folders, backups, the executable swap and the support files. Every step takes the main
// window's core, handles its own failures (its message, or none) and returns, unless it ends the
// program.
namespace maj {

// Folders and the executable.
void creerrepertoire(Form1Core& f);
void creemaj(Form1Core& f);
void passagearchive(Form1Core& f);
void nouveaudirectory(Form1Core& f);
void verstempo(Form1Core& f);
void copieexeavantpremiereMAJ(Form1Core& f);
void copienouvelexe(Form1Core& f);

// Support files.
void copienomen(Form1Core& f);
void copieaide(Form1Core& f);
void copieautres(Form1Core& f);
void assurability(Form1Core& f);
void creermails(Form1Core& f);
void creerformulaires(Form1Core& f);
void copierformulaires(Form1Core& f);
void copieraccourci(Form1Core& f);
// Full path of the first file named `fileName` under `root`, or an empty text.
QString rechercherfichier(const QString& fileName, const QString& root);

// The backup folder's name for a moment: "c:\MAJ" + year, day, month, hour, minute, second,
// unpadded ("c:\MAJ20265122037" on 5 December 2026 at 20:03:07).
QString backupFolderName(const QDateTime& moment);

} // namespace maj
