#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string_view>

// Network forms of the port setting, besides "COMn:" and device paths:
//   gpsd://HOST[:PORT]  a gpsd daemon's raw NMEA stream (default localhost:2947)
//   tcp://HOST:PORT     a plain NMEA byte stream
// The scheme is matched without regard to case; an IPv6 host is written in
// brackets ("tcp://[::1]:10110").
enum class NetworkPortKind
{
    Tcp,
    Gpsd,
};

struct NetworkPort
{
    NetworkPortKind nKind;
    std::string strHost;
    uint16_t nPort;
};

constexpr uint16_t GPSD_DEFAULT_PORT = 2947;

// True when the name starts with one of the network schemes, well-formed or not.
bool IsNetworkPortName(std::string_view name);
bool IsNetworkPortName(const QString& strName);

// The host and port of a network name; nothing when the name is not a network
// name or its rest is malformed.
std::optional<NetworkPort> ParseNetworkPort(std::string_view name);
std::optional<NetworkPort> ParseNetworkPort(const QString& strName);
