#include "device/transfer.h"

#include <array>
#include <span>

#include "link/commands.h"
#include "link/link_texts.h"
#include "link/replies.h"

namespace device {

namespace {

using sensorlink::Outcome;

// One step of a transfer: whether the transfer goes on, and what it comes to so far. An
// error frame or a plausibility count lets it go on, but it no longer counts as taken.
bool Step(sensorlink::Link& link, const sensorlink::Exchange& e, std::string_view plausibility,
          Done& result, int* count) {
    if (!e.Frame()) {
        result = Done(e);
        return false;
    }
    if (count && e.Ok()) *count = e.parameter;
    Done objection(Outcome::ErrorReply);
    if (!e.Ok())
        objection.failure = e.failure;
    else if (!plausibility.empty() && link.ReportPlausibility(e, plausibility))
        objection.failure = sensorlink::PlausibilityText(e.parameter, plausibility);
    else
        return true;
    if (result.Ok()) result = objection;
    return true;
}

// One block into `words`: Reply, ErrorReply (its payload taken) or what ended it.
Done ReadBlock(sensorlink::Link& link, std::uint16_t blockAddress, std::span<std::uint16_t> words) {
    const sensorlink::Exchange e = link.Command(sensorlink::cmd::kReadBlock, blockAddress);
    if (!e.Frame()) return Done(e);
    if (!sensorlink::DecodeWords(e.payload, words)) return Refuse(link, sensorlink::kDataFrameText);
    return Done(e);
}

}  // namespace

Done SendToSensor(sensorlink::Link& link, const params::ParameterSet& set, std::uint16_t paraSet,
                  bool toEeprom, TransferCounts* counts) {
    TransferCounts local;
    TransferCounts& n = counts ? *counts : local;
    Done result(Outcome::Reply);
    const auto ram = sensorlink::kPlausibilityRamText;
    if (!Step(link, link.Command(sensorlink::cmd::kWriteBlock, paraSet, set.BlockWords()), ram,
              result, &n.block))
        return result;
    if (!Step(link,
              link.Command(sensorlink::cmd::kWriteBlock, static_cast<std::uint16_t>(paraSet + 2),
                           set.TeachWords()),
              ram, result, &n.teachTable))
        return result;
    if (toEeprom) Step(link, link.Command(sensorlink::cmd::kStoreEeprom, 0), {}, result, nullptr);
    return result;
}

Done GetFromSensor(sensorlink::Link& link, params::ParameterSet& set, std::uint16_t paraSet,
                   bool fromEeprom, TransferCounts* counts) {
    TransferCounts local;
    TransferCounts& n = counts ? *counts : local;
    Done result(Outcome::Reply);
    if (fromEeprom && !Step(link, link.Command(sensorlink::cmd::kLoadEeprom, 0),
                            sensorlink::kPlausibilityEepromText, result, &n.eeprom))
        return result;
    // An error frame's payload is taken as any reply's; the transfer then comes to its
    // objection.
    const auto taken = [&result](const Done& read) {
        if (read.outcome == Outcome::ErrorReply && result.Ok()) result = read;
        return read.Frame();
    };
    std::array<std::uint16_t, params::kBlockWords> block{};
    Done read = ReadBlock(link, paraSet, block);
    if (!taken(read)) return read;
    set.SetBlockWords(block);
    std::array<std::uint16_t, params::kTeachWords> teach{};
    read = ReadBlock(link, static_cast<std::uint16_t>(paraSet + 2), teach);
    if (!taken(read)) return read;
    set.SetTeachWords(teach);
    return result;
}

}  // namespace device
