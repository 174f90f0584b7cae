#include "cli/output.h"

#include <unistd.h>

#include <cerrno>

namespace cli {

bool FdOutput::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string OneLine(std::string_view text) {
    std::string line;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view piece = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        while (!piece.empty() && (piece.back() == ' ' || piece.back() == '\r'))
            piece.remove_suffix(1);
        while (!piece.empty() && piece.front() == ' ') piece.remove_prefix(1);
        if (piece.empty()) continue;
        if (!line.empty()) line += ' ';
        line += piece;
    }
    return line;
}

}  // namespace cli
