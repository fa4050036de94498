#pragma once

#include "display/Views.h"   // the view commands

// Command ids of the soft keys and the menu tree, the frame's timer, and the
// program's own texts.

constexpr int ID_FILE_NEW = 57600;      // left soft key; nothing handles it
constexpr int ID_FILE_OPEN = 57601;
constexpr int ID_FILE_SAVE = 57603;
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_APP_EXIT = 57665;
constexpr int ID_GPS_SETUP = 32784;
constexpr int ID_START_LOG = 32785;
constexpr int ID_END_LOG = 32786;
constexpr int ID_SET_PLACEMARK = 32788;
constexpr int ID_LOAD_MAP = 32796;
// Additions at the ends of the View and Tools menus.
constexpr int ID_TRIP_STATS = 32821;
constexpr int ID_IMPORT_MAP = 32822;
constexpr int ID_GO_TO = 32824;
constexpr int ID_ONLINE_MAPS = 32825;

// Results of a modal dialog.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

constexpr int TIMER_ID = 1234;
constexpr int TIMER_INTERVAL_MS = 1000;

// The handheld's client area under its title and menu bars.
constexpr int FRAME_CLIENT_WIDTH = 240;
constexpr int FRAME_CLIENT_HEIGHT = 268;

inline constexpr const char* APP_TITLE = "veltrip";
inline constexpr const char* APP_COMPANY = "Korvane productions";
inline constexpr const char* MSG_GPS_NOT_FOUND = "GPS not found!\n Please select correct port and baudrate.";
