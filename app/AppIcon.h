#pragma once

#include <QIcon>

// The application icon in 16, 32 and 48 pixels: a compass rose with a red
// track across it, drawn for each size so the small one stays crisp.
QIcon AppIcon();
