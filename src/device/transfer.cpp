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
          Outcome& result, int* count) {
    if (!e.Frame()) {
        result = e.outcome;
        return false;
    }
    if (count && e.Ok()) *count = e.parameter;
    if (!e.Ok() || (!plausibility.empty() && link.ReportPlausibility(e, plausibility)))
        result = Outcome::ErrorReply;
    return true;
}

// One block into `words`: Reply, ErrorReply (its payload taken) or what ended it.
Outcome ReadBlock(sensorlink::Link& link, std::uint16_t blockAddress,
                  std::span<std::uint16_t> words) {
    const sensorlink::Exchange e = link.Command(sensorlink::cmd::kReadBlock, blockAddress);
    if (!e.Frame()) return e.outcome;
    if (!sensorlink::DecodeWords(e.payload, words)) {
        link.Report(sensorlink::kDataFrameText);
        return Outcome::Failed;
    }
    return e.outcome;
}

}  // namespace

Outcome SendToSensor(sensorlink::Link& link, const params::ParameterSet& set, std::uint16_t paraSet,
                     bool toEeprom, TransferCounts* counts) {
    TransferCounts local;
    TransferCounts& n = counts ? *counts : local;
    auto result = Outcome::Reply;
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

Outcome GetFromSensor(sensorlink::Link& link, params::ParameterSet& set, std::uint16_t paraSet,
                      bool fromEeprom, TransferCounts* counts) {
    TransferCounts local;
    TransferCounts& n = counts ? *counts : local;
    auto result = Outcome::Reply;
    if (fromEeprom && !Step(link, link.Command(sensorlink::cmd::kLoadEeprom, 0),
                            sensorlink::kPlausibilityEepromText, result, &n.eeprom))
        return result;
    const auto taken = [&result](Outcome read) {
        if (read == Outcome::ErrorReply) result = read;
        return read == Outcome::Reply || read == Outcome::ErrorReply;
    };
    std::array<std::uint16_t, params::kBlockWords> block{};
    Outcome read = ReadBlock(link, paraSet, block);
    if (!taken(read)) return read;
    set.SetBlockWords(block);
    std::array<std::uint16_t, params::kTeachWords> teach{};
    read = ReadBlock(link, static_cast<std::uint16_t>(paraSet + 2), teach);
    if (!taken(read)) return read;
    set.SetTeachWords(teach);
    return result;
}

}  // namespace device
