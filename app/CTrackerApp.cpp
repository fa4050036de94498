#include "app/CTrackerApp.h"

CTrackerApp theApp;
