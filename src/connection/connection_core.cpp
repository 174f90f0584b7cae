#include "connection/connection_core.h"

#include <algorithm>

namespace connection {

std::int32_t TcpPortOf(std::string_view text) {
    std::int64_t value = 0;
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 65535) return 0;
    }
    return static_cast<std::int32_t>(value);
}

std::vector<std::string> WithAddressOnTop(std::vector<std::string> history,
                                          const std::string& address) {
    if (address.empty()) return history;
    history.erase(std::remove(history.begin(), history.end(), address), history.end());
    history.insert(history.begin(), address);
    if (history.size() > kAddressHistoryMax) history.resize(kAddressHistoryMax);
    return history;
}

}  // namespace connection
