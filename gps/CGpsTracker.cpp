#include "gps/CGpsTracker.h"

#include "platform/LogFile.h"
#include "platform/SerialPort.h"

CGpsTracker::CGpsTracker() = default;

CGpsTracker::~CGpsTracker() = default;
