// The entry of the modem port module, the one symbol it exports.
#include "platform/ModemPort.h"
#include "platform/modem/CModemPort.h"

#include <type_traits>

extern "C" [[gnu::visibility("default")]] CReceiverPort* VeltripOpenModemPort(const QString& strPort, bool bQuiet,
                                                                              COutcome* pOutcome)
{
    return CModemPort::Open(strPort, bQuiet, *pOutcome).release();
}

static_assert(std::is_same_v<decltype(&VeltripOpenModemPort), ModemPortEntry>);
