#pragma once

#include "Form1Core.h"

// The activity census and its upload.
namespace maj {

void cadastre(Form1Core& f);
void envoyer(Form1Core& f);
QString enleveaccents(const QString& text);
QString nomordinateur();

} // namespace maj
