#pragma once

// The open GPD log file. Filled in with the track log.
class CLogFile
{
public:
    ~CLogFile();
};
