#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pulsiero::rolling {

// A counter value. Today's frames carry steps 1 to 65535; a wider counter (the step plus a count
// of wraps) is the same type with a longer Policy::cycle, so nothing here assumes 16 bits.
using Counter = std::uint32_t;

enum class Verdict {
    Accepted,
    Resynchronised,     // accepted: two consecutive steps beyond the window
    Learnt,             // accepted: two consecutive steps of a new transmitter while learning
    Replay,             // the stored step again, or behind it
    ResyncPending,      // beyond the window: waits for the next consecutive step
    ResyncTooFar,       // further ahead than the resynchronisation range
    LearningPending,    // a new transmitter while learning: waits for the next step
    UnknownTransmitter, // no stored state and not learning, or not enrolled
    StaleMinute,        // the frame's minute is too far from the receiver's clock
    HourlyAdvance,      // a plain transmitter pushed further ahead this hour than allowed
    LearningFull,       // learning is open, but has taken as many transmitters as it may
};

std::string_view describe(Verdict verdict); // Italian, for people
std::string_view code(Verdict verdict);     // short and stable, for tools
bool accepted(Verdict verdict);

struct Policy {
    int window = 16;                         // steps accepted ahead of the stored one
    std::int64_t resyncSteps = 4096;         // how far beyond the window a pair may resync
    int resyncSeconds = 30;                  // the longest gap between the two frames of a pair
    std::optional<int> toleranceMinutes = 5; // none: the minute is not checked
    std::set<std::int32_t> enrolled;         // empty: every transmitter may be learnt
    std::int64_t cycle = 65535;              // counters run 1 to cycle, then 1 again
    // Transmitters with a key: their counter is wrap << 16 | step, it never wraps, and only
    // moves forward. A pair resynchronises at any distance ahead: nobody without the key can
    // make one, so a pair far ahead is the genuine transmitter's.
    std::set<std::int32_t> keyed;
    // How far a transmitter without a key may move ahead within any hour: forged frames can
    // push its counter ahead of the genuine one, and every step pushed is a press lost.
    std::int64_t hourlyAdvance = 256;
    // Transmitters one learning period may learn, so that a flood cannot take every number.
    int learnLimit = 8;
};

// A keyed counter as a running count of frames: (wrap, 65535) is followed by (wrap + 1, 1), and
// (0, 0) is a freshly paired transmitter, before its first frame.
constexpr std::int64_t keyedOrdinal(Counter counter) {
    return std::int64_t{counter >> 16} * 65535 + (counter & 0xFFFF);
}

// The rolling-code decision, after the practice of deployed decoders: per transmitter the last
// accepted step, a forward window, and a two-frame resynchronisation a bounded way beyond it.
// The state never moves backwards. New transmitters are learnt only while learning is open, and
// only from two consecutive frames, so one overheard frame teaches nothing.
class Tracker {
public:
    using Steps = std::map<std::int32_t, Counter>;
    static constexpr std::size_t kCandidates = 4;     // pending first frames per origin
    static constexpr std::size_t kAllCandidates = 64; // and per transmitter

    struct Result {
        Verdict verdict;
        std::optional<Counter> storedStep; // before this frame
    };

    explicit Tracker(Policy policy) : policy_(std::move(policy)) {}

    // Opens learning for transmitters with no stored step until the monotonic second given.
    void learnUntil(std::int64_t seconds) {
        learnUntil_ = seconds;
        learnt_ = 0;
    }
    bool learning(std::int64_t nowSeconds) const {
        return learnUntil_ && nowSeconds < *learnUntil_;
    }

    // nowMinute is the receiver's own minute of the day; nowSeconds any monotonic clock. origin
    // names where the frame came from: the two frames of a pair must share it, so frames from
    // elsewhere never push the genuine transmitter's first frame out.
    Result evaluate(std::int32_t transmitter, Counter step, std::int32_t frameMinute,
                    std::int32_t nowMinute, std::int64_t nowSeconds, std::string_view origin = {});

    void load(Steps steps) { steps_ = std::move(steps); }
    void forget(std::int32_t transmitter);
    const Steps& steps() const { return steps_; }
    Policy& policy() { return policy_; }
    const Policy& policy() const { return policy_; }

    // Distance forward from one counter to another on the cycle (cycle is followed by 1).
    std::int64_t distance(Counter from, Counter to) const;

private:
    struct Candidate {
        Counter step;
        std::int64_t seconds;
        std::string origin;
    };
    struct Advance {
        std::int64_t seconds;
        std::int64_t steps;
    };

    std::int64_t ahead(bool keyed, Counter from, Counter to) const;
    bool completesPair(bool keyed, const std::vector<Candidate>& candidates, Counter step,
                       std::string_view origin) const;
    void remember(std::vector<Candidate>& candidates, Counter step, std::int64_t seconds,
                  std::string_view origin) const;
    bool staleMinute(std::int32_t frameMinute, std::int32_t nowMinute) const;
    bool withinHourlyAdvance(std::int32_t transmitter, std::int64_t steps, std::int64_t nowSeconds);

    Policy policy_;
    Steps steps_;
    std::map<std::int32_t, std::vector<Candidate>> candidates_;
    std::map<std::int32_t, std::vector<Advance>> advances_; // the last hour's, per transmitter
    std::optional<std::int64_t> learnUntil_;
    int learnt_ = 0;
};

// The state file: a version line, "transmitter step" per line, and a last line with a CRC-32 of
// everything before it, so a file cut short anywhere is told apart from a complete one. Version 1
// holds steps 1 to 65535; version 2, written only when a counter needs it, holds any 32-bit
// counter (keyed transmitters, and 0 for one just paired), so an older receiver refuses it rather
// than misread it. Both versions are read.
// A transmitter that was ever paired with a key is marked "chiave" on its line (version 2 only):
// the state, not the keys file alone, says which transmitters accept keyed frames only, so a
// keys file taken away never turns a keyed transmitter back into a plain one.
std::string serialize(const Tracker::Steps& steps, const std::set<std::int32_t>& keyed = {});

struct State {
    Tracker::Steps steps;
    std::set<std::int32_t> keyed;
};

// The state, or what is wrong with the text (Italian, for the user).
std::variant<State, std::string> parseStateFile(std::string_view text, std::int64_t cycle = 65535);
// The steps alone.
std::variant<Tracker::Steps, std::string> parseState(std::string_view text,
                                                     std::int64_t cycle = 65535);

} // namespace pulsiero::rolling
