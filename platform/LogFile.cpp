#include "platform/LogFile.h"

CLogFile::~CLogFile() = default;
