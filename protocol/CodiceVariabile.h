#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace pulsiero::rolling {

enum class Verdict {
    Accepted,
    Resynchronised,     // accepted: two consecutive steps beyond the window
    Replay,             // the stored step again, or one behind it
    ResyncPending,      // beyond the window: waits for the next consecutive step
    UnknownTransmitter, // no stored state and not learning, or not enrolled
    StaleMinute,        // the frame's minute is too far from the receiver's clock
};

std::string_view describe(Verdict verdict);
bool accepted(Verdict verdict);

struct Policy {
    int window = 16;                         // steps accepted ahead of the stored one
    int resyncSeconds = 30;                  // the longest gap between the two frames of a resync
    std::optional<int> toleranceMinutes = 5; // none: the minute is not checked
    std::set<std::int32_t> enrolled;         // empty: every transmitter may be learnt
    bool learning = false;                   // accepts any step from a transmitter as a new start
};

// The rolling-code decision, after the practice of deployed decoders: per transmitter the last
// accepted step, a forward window, and a two-frame resynchronisation beyond it. The state never
// moves backwards.
class Tracker {
public:
    struct Result {
        Verdict verdict;
        std::optional<std::int32_t> storedStep; // before this frame
    };

    explicit Tracker(Policy policy) : policy_(std::move(policy)) {}

    // nowMinute is the receiver's own minute of the day; nowSeconds any monotonic clock.
    Result evaluate(std::int32_t transmitter, std::int32_t step, std::int32_t frameMinute,
                    std::int32_t nowMinute, std::int64_t nowSeconds);

    // "transmitter step" per line.
    std::string serialize() const;
    static std::map<std::int32_t, std::int32_t> parse(std::string_view text);
    void load(std::map<std::int32_t, std::int32_t> steps) { steps_ = std::move(steps); }
    const std::map<std::int32_t, std::int32_t>& steps() const { return steps_; }
    Policy& policy() { return policy_; }

    // Distance forward from one step to another on the cycle 1 to 65535 (65535 is followed by 1).
    static std::int32_t distance(std::int32_t from, std::int32_t to);

private:
    struct Pending {
        std::int32_t step;
        std::int64_t seconds;
    };

    Policy policy_;
    std::map<std::int32_t, std::int32_t> steps_;
    std::map<std::int32_t, Pending> pending_;
};

} // namespace pulsiero::rolling
