#pragma once

#include <QIcon>
#include <QPixmap>

namespace maj {

// The application's 32 x 32 icon (16 colours), shown by both windows and by the splash's Image1.
QPixmap applicationPixmap();

// Twips (1/1440 inch) to pixels at 15 twips a pixel; positions stay in twips until this last step.
constexpr int twipsToPixels(double twips)
{
    const double pixels = twips / 15.0;
    return int(pixels >= 0 ? pixels + 0.5 : pixels - 0.5);
}

} // namespace maj
