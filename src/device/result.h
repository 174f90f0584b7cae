#pragma once
// What an exchange sequence with the sensor comes to: how it ended and what the user was told
// of it, and for a read the values. The sequences report their failures through the link as
// they happen (the session shows them, velorax-cli says them); the result carries the same
// text for a caller that must say or keep why it failed.

#include <optional>
#include <string>
#include <utility>

#include "link/link.h"
#include "link/link_texts.h"

namespace device {

struct Done {
    Done() = default;
    explicit Done(sensorlink::Outcome ended, std::string said = {})
        : outcome(ended), failure(std::move(said)) {}
    explicit Done(const sensorlink::Exchange& e) : outcome(e.outcome), failure(e.failure) {}

    // The outcome of the exchange that decided it; Failed for a reply the sequence refused
    // (too short for its layout), ErrorReply where the sensor objected.
    sensorlink::Outcome outcome = sensorlink::Outcome::Failed;
    // The text reported for it; empty when nothing was said (a plain reply, a refused,
    // aborted or stopped exchange).
    std::string failure;

    bool Ok() const { return outcome == sensorlink::Outcome::Reply; }
    bool Frame() const { return Ok() || outcome == sensorlink::Outcome::ErrorReply; }
    // A caller that only asks how it ended compares it with an Outcome.
    operator sensorlink::Outcome() const { return outcome; }
};

// A read: its values when they came whole, else nothing and why.
template <class T>
struct Read : Done {
    std::optional<T> value;

    bool has_value() const { return value.has_value(); }
    explicit operator bool() const { return value.has_value(); }
    const T& operator*() const { return *value; }
    const T* operator->() const { return &*value; }
    operator const std::optional<T>&() const { return value; }
};

// How an exchange ended, as a sequence's result. An error frame whose code has no text of
// its own ends the sequence as a refusal: reported with its code, and that is the text.
inline Done Ended(sensorlink::Link& link, const sensorlink::Exchange& e) {
    Done done(e);
    if (link.ReportRefusal(e)) done.failure = sensorlink::RefusalText(e.parameter);
    return done;
}

// A failure of the sequence's own (a reply too short for its layout): reported through the
// link as the link reports its own.
inline Done Refuse(sensorlink::Link& link, std::string_view text) {
    link.Report(text);
    return Done(sensorlink::Outcome::Failed, std::string(text));
}

}  // namespace device
