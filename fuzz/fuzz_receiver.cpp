#include "platform/GpsdStream.h"
#include "platform/ModemPort.h"
#include "platform/PortName.h"
#include "platform/UnixSocketPort.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The receiver side's own parsers: the input's first line as a port name
// (of one kind at most), and the whole input as gpsd's stream, cut into reads at every 0x01 byte.
// Whatever the filter keeps is a subsequence of its input, made of whole
// lines that start with "$" or "!".
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string_view input(reinterpret_cast<const char*>(pData), nSize);
    const std::string_view name = input.substr(0, input.find('\n'));
    if (const std::optional<NetworkPort> port = ParseNetworkPort(name)) {
        if (port->nPort == 0 || port->strHost.empty() || !IsNetworkPortName(name))
            __builtin_trap();
    }
    const QString strName = QString::fromUtf8(name.data(), qsizetype(name.size()));
    if (int(IsNetworkPortName(strName)) + int(IsModemPortName(strName)) + int(IsUnixSocketPortName(strName)) > 1)
        __builtin_trap();

    CGpsdLineFilter filter;
    std::string kept;
    size_t nStart = 0;
    while (nStart < input.size()) {
        size_t nEnd = input.find('\x01', nStart);
        nEnd = nEnd == std::string_view::npos ? input.size() : nEnd + 1;
        std::string read(input.substr(nStart, nEnd - nStart));
        read.resize(filter.Filter(read.data(), read.size()));
        kept += read;
        nStart = nEnd;
    }
    bool bLineStart = true;
    for (const char ch : kept) {
        if (bLineStart && ch != '$' && ch != '!')
            __builtin_trap();
        bLineStart = ch == '\n';
    }
    return 0;
}
