#pragma once
// The pictures compiled into the program: the application icon and the logo.

#include <QIcon>
#include <QPixmap>

// The application icon in all its sizes.
QIcon AppIcon();
// The logo for a screen of the given pixel ratio (1 at 100 %, 2 at 200 %).
QPixmap LogoPixmap(qreal devicePixelRatio);
