#pragma once

#include <QColor>
#include <QPen>

// Text colours the views share: fresh values in black, stale ones in red
// (GPS data view) or grey (the other views), a good dilution in green.
constexpr QColor CLR_BLACK(0, 0, 0);
constexpr QColor CLR_RED(255, 0, 0);
constexpr QColor CLR_GREEN(0, 162, 0);
constexpr QColor CLR_GREY(128, 128, 128);

// The handheld's system window colour: the display window's background, and
// the opaque background behind every text.
constexpr QColor CLR_WINDOW(255, 255, 255);

// The display window's two pens, which the views borrow: the track and the
// position's arrowhead, and the heading line.
inline const QPen PEN_TRACK(CLR_RED, 2);
inline const QPen PEN_HEADING(CLR_BLACK, 1);
// The map view's scale bar.
inline const QPen PEN_SCALE_BAR(CLR_BLACK, 2);

// Tools, "Go to…": the hollow needle of the compass, and on the map and
// track views the dashed line to the destination and its mark.
constexpr QColor CLR_GOTO(0, 0, 224);
inline const QPen PEN_GOTO_NEEDLE(CLR_GOTO, 2);
inline const QPen PEN_GOTO_LINE(CLR_GOTO, 1, Qt::DashLine);
inline const QPen PEN_GOTO_MARK(CLR_GOTO, 2);
