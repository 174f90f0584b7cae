#include "sim/model/faults.h"

#include <array>
#include <charconv>
#include <cmath>

#include "link/crc8.h"
#include "link/frame.h"

namespace sim {
namespace {

struct KindInfo {
    const char* name;
    FaultKind kind;
    bool needsArg;
    double defaultArg;
    const char* help;
};

constexpr std::array<KindInfo, 11> kKinds{{
    {"silent", FaultKind::kSilent, false, 0, "silent               no reply at all"},
    {"late", FaultKind::kLate, true, 0, "late:SECONDS         reply after that delay"},
    {"badcrc-header", FaultKind::kBadHeaderCrc, false, 0,
     "badcrc-header        header checksum wrong"},
    {"badcrc-payload", FaultKind::kBadPayloadCrc, false, 0,
     "badcrc-payload       payload checksum wrong"},
    {"error", FaultKind::kErrorReply, true, 0,
     "error:CODE           error reply (command 0) with CODE instead"},
    {"plausibility", FaultKind::kPlausibility, true, 0,
     "plausibility:COUNT   reply parameter set to COUNT"},
    {"length", FaultKind::kLength, false, 4096,
     "length[:BYTES]       length field set to BYTES (default 4096, above 2040)"},
    {"short", FaultKind::kShort, true, 0,
     "short:BYTES          a well-formed reply whose payload is cut to BYTES"},
    {"split", FaultKind::kSplit, false, 0, "split                reply written one byte per write"},
    {"junk", FaultKind::kJunk, false, 16,
     "junk[:BYTES]         random bytes before the reply (default 16)"},
    {"close-after", FaultKind::kCloseAfter, true, 0,
     "close-after:FRAMES   close the connection after every FRAMES-th frame"},
}};

bool ParseNumber(std::string_view text, double& out) {
    if (text.empty()) return false;
    const auto* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end && std::isfinite(out);
}

bool ParseUnsigned(std::string_view text, std::uint64_t& out) {
    if (text.empty()) return false;
    const auto* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end;
}

}  // namespace

std::optional<Fault> ParseFault(std::string_view text, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<Fault> {
        if (error) *error = "fault \"" + std::string(text) + "\": " + why;
        return std::nullopt;
    };
    Fault f;
    std::string_view rest = text;
    if (const auto hash = rest.find('#'); hash != std::string_view::npos) {
        std::string_view occ = rest.substr(hash + 1);
        rest = rest.substr(0, hash);
        if (!occ.empty() && occ.back() == '+') {
            f.andLater = true;
            occ.remove_suffix(1);
        }
        if (!ParseUnsigned(occ, f.occurrence) || f.occurrence == 0) {
            return fail("occurrence must be a number from 1");
        }
    }
    if (const auto at = rest.find('@'); at != std::string_view::npos) {
        std::string_view cmd = rest.substr(at + 1);
        rest = rest.substr(0, at);
        if (!cmd.empty() && cmd.back() == 'u') {
            f.unsolicited = true;
            cmd.remove_suffix(1);
        }
        if (cmd != "*") {
            std::uint64_t code = 0;
            if (!ParseUnsigned(cmd, code) || code > 255) return fail("command must be 0..255");
            f.command = static_cast<int>(code);
        }
    }
    std::string_view name = rest;
    std::string_view arg;
    bool hasArg = false;
    if (const auto colon = rest.find(':'); colon != std::string_view::npos) {
        name = rest.substr(0, colon);
        arg = rest.substr(colon + 1);
        hasArg = true;
    }
    for (const KindInfo& k : kKinds) {
        if (name != k.name) continue;
        f.kind = k.kind;
        f.arg = k.defaultArg;
        if (hasArg && !ParseNumber(arg, f.arg)) return fail("bad argument");
        if (k.needsArg && !hasArg) return fail("needs an argument");
        if (f.arg < 0) return fail("argument must not be negative");
        if (f.kind == FaultKind::kCloseAfter && f.arg < 1) return fail("needs at least 1");
        if (f.kind == FaultKind::kJunk && f.arg > 4096) return fail("at most 4096 junk bytes");
        if (f.arg > 65535 && f.kind != FaultKind::kLate) return fail("argument too large");
        return f;
    }
    return fail("unknown kind");
}

std::string FaultSyntaxHelp() {
    std::string text =
        "FAULT = KIND[:ARG][@COMMAND[u]][#N[+]]\n"
        "  @COMMAND  decimal command code or * (default: any); a trailing u picks the\n"
        "            frames sent unasked after that command (30 triggered, 110 scope)\n"
        "  #N        only the N-th matching frame, #N+ from the N-th on (default: every)\n"
        "  KIND:\n";
    for (const KindInfo& k : kKinds) {
        text += "    ";
        text += k.help;
        text += '\n';
    }
    text += "  e.g. silent@8#3  late:3.5@7  badcrc-header@2  error:1@105  close-after:5\n";
    return text;
}

FaultPlan FaultSet::Match(std::uint8_t command, bool unsolicited) {
    FaultPlan plan;
    for (Fault& f : faults_) {
        if (f.unsolicited != unsolicited) continue;
        if (f.command != kAnyCommand && f.command != command) continue;
        ++f.seen;
        if (f.kind == FaultKind::kCloseAfter) {
            if (f.seen % static_cast<std::uint64_t>(f.arg) == 0) plan.closeAfter = true;
            continue;
        }
        if (f.occurrence != 0) {
            if (f.andLater ? f.seen < f.occurrence : f.seen != f.occurrence) continue;
        }
        switch (f.kind) {
            case FaultKind::kSilent:
                plan.silent = true;
                break;
            case FaultKind::kLate:
                plan.delay += f.arg;
                break;
            case FaultKind::kBadHeaderCrc:
                plan.badHeaderCrc = true;
                break;
            case FaultKind::kBadPayloadCrc:
                plan.badPayloadCrc = true;
                break;
            case FaultKind::kErrorReply:
                plan.errorCode = static_cast<std::uint16_t>(f.arg);
                break;
            case FaultKind::kPlausibility:
                plan.parameter = static_cast<std::uint16_t>(f.arg);
                break;
            case FaultKind::kLength:
                plan.length = static_cast<std::uint32_t>(f.arg);
                break;
            case FaultKind::kShort:
                plan.shortPayload = static_cast<std::uint32_t>(f.arg);
                break;
            case FaultKind::kSplit:
                plan.split = true;
                break;
            case FaultKind::kJunk:
                plan.junkBytes += static_cast<std::size_t>(f.arg);
                break;
            case FaultKind::kCloseAfter:
                break;
        }
    }
    return plan;
}

std::vector<std::uint8_t> ApplyPlan(const FaultPlan& plan, std::vector<std::uint8_t> frame) {
    if (frame.size() < sensorlink::kHeaderSize) return frame;
    if (plan.errorCode) frame = sensorlink::MakeFrame(0, *plan.errorCode);
    if (plan.shortPayload && *plan.shortPayload < frame.size() - sensorlink::kHeaderSize) {
        std::vector<std::uint8_t> payload(frame.begin() + sensorlink::kHeaderSize,
                                          frame.begin() + sensorlink::kHeaderSize +
                                              static_cast<std::ptrdiff_t>(*plan.shortPayload));
        frame = sensorlink::MakeFrame(frame[1], sensorlink::ReadWord(&frame[2]), payload);
    }
    if (plan.parameter) sensorlink::WriteWord(&frame[2], *plan.parameter);
    if (plan.length) sensorlink::WriteWord(&frame[4], static_cast<std::uint16_t>(*plan.length));
    if (plan.badPayloadCrc) frame[6] = static_cast<std::uint8_t>(frame[6] ^ 0x5A);
    frame[7] = sensorlink::Crc8(frame.data(), 0, 7);
    if (plan.badHeaderCrc) frame[7] = static_cast<std::uint8_t>(frame[7] ^ 0xA5);
    return frame;
}

}  // namespace sim
