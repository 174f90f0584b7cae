#pragma once
// What the connection page decides without its widgets: the TCP port that a typed port
// text names, and the history the IP-address field keeps. Free of Qt.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace connection {

inline constexpr std::size_t kAddressHistoryMax = 10;

// Leading decimal digits of a port text, after leading blanks ("10001abc" -> 10001,
// "" -> 0). A number above 65535 is no TCP port: 0, and the connect fails with its own text.
std::int32_t TcpPortOf(std::string_view portNumberText);

// The history once `address` is committed: on top, without a second copy of it, at most
// kAddressHistoryMax entries (the oldest go). An empty address changes nothing.
std::vector<std::string> WithAddressOnTop(std::vector<std::string> history,
                                          const std::string& address);

}  // namespace connection
