#pragma once

#include "run/Form1Core.h"

// The activity census and its upload.
namespace maj {

// Writes the activity report into c:\praxidome\MAJ\, sets ReportName and appends the census
// summary to txtconvention; leaves Data1 to Data4 bound to pat.mdb. Any failure ends it silently.
void cadastre(Form1Core& f);
// Releases Data1 to Data4, notifies the maker's web server, then stores the first report of the
// work folder in SIGN on the maker's FTP server, through Inet1 (created with the compiled-in
// settings when empty). Any failure ends it silently.
void envoyer(Form1Core& f);
QString enleveaccents(QString text);
// The machine's name as the system gives it (QSysInfo::machineHostName()), unchanged: neither
// upper-cased nor cut to the 15 characters of the old platform's NetBIOS names.
QString nomordinateur();

} // namespace maj
