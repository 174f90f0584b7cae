#pragma once
// Faults the simulated sensor puts into its replies on demand.
//
// Fault syntax: KIND[:ARG][@COMMAND[u]][#N[+]]
//   KIND      silent | late:SECONDS | badcrc-header | badcrc-payload | error:CODE |
//             plausibility:COUNT | length[:BYTES] | short:BYTES | split | junk[:BYTES] |
//             close-after:FRAMES
//   @COMMAND  only replies to this command code (decimal); "*" or no @ = any command.
//             A trailing "u" selects the frames the sensor sends on its own after that
//             command (30: triggered frames, 110: scope blocks) instead of the replies.
//   #N        only the N-th matching frame (counted from 1); "#N+" the N-th and all later
//             ones; no # = every matching frame.
// Examples: silent@8#3   late:3.5@7   badcrc-header@2   error:1@105   close-after:5
//           badcrc-payload@110u#2 (the second scope block)
//
// close-after:N closes the connection after every N-th matching frame (occurrence
// ignored).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class FaultKind {
    kSilent,
    kLate,
    kBadHeaderCrc,
    kBadPayloadCrc,
    kErrorReply,
    kPlausibility,
    kLength,
    kShort,
    kSplit,
    kJunk,
    kCloseAfter,
};

inline constexpr int kAnyCommand = -1;

struct Fault {
    FaultKind kind = FaultKind::kSilent;
    double arg = 0.0;              // seconds, code, count or bytes, by kind
    int command = kAnyCommand;     // command code, or kAnyCommand
    bool unsolicited = false;      // frames sent on the sensor's own (30, 110)
    std::uint64_t occurrence = 0;  // 0 = every matching frame
    bool andLater = false;         // "#N+"
    std::uint64_t seen = 0;        // matching frames counted so far
};

std::optional<Fault> ParseFault(std::string_view text, std::string* error = nullptr);
std::string FaultSyntaxHelp();

// What the faults that match one outgoing frame ask for.
struct FaultPlan {
    bool silent = false;
    double delay = 0.0;
    bool badHeaderCrc = false;
    bool badPayloadCrc = false;
    std::optional<std::uint16_t> errorCode;
    std::optional<std::uint16_t> parameter;  // plausibility count
    std::optional<std::uint32_t> length;
    std::optional<std::uint32_t> shortPayload;  // payload cut to this many bytes
    bool split = false;
    std::size_t junkBytes = 0;
    bool closeAfter = false;
};

class FaultSet {
  public:
    void Add(Fault fault) { faults_.push_back(fault); }
    void Clear() { faults_.clear(); }
    bool Empty() const { return faults_.empty(); }
    // Counts the frame for every fault that filters on it and merges what applies.
    FaultPlan Match(std::uint8_t command, bool unsolicited);

  private:
    std::vector<Fault> faults_;
};

// Applies the byte-level part of a plan (error reply, parameter, length, CRCs) to a frame
// built by sensorlink::MakeFrame; returns the bytes to send (without junk).
std::vector<std::uint8_t> ApplyPlan(const FaultPlan& plan, std::vector<std::uint8_t> frame);

}  // namespace sim
