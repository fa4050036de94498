#pragma once

#include <QIcon>

// The application icon in 16, 32 and 48 pixels: a compass dial with an orange
// track ending in the position, drawn for each size so the small one stays
// crisp. packaging/veltrip.svg is the same design for the desktop's icon theme.
QIcon AppIcon();
