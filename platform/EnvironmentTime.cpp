#include "platform/EnvironmentTime.h"

#include <QtGlobal>

int MillisecondsFromEnvironment(const char* szName, int nDefault)
{
    bool bOk = false;
    const int nMs = qEnvironmentVariableIntValue(szName, &bOk);
    return bOk && nMs > 0 ? nMs : nDefault;
}
