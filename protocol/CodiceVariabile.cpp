#include "protocol/CodiceVariabile.h"

#include "protocol/Frame.h"
#include "settings/LenientNumber.h"

#include <cstdlib>
#include <sstream>

namespace pulsiero::rolling {

std::string_view describe(Verdict verdict) {
    switch (verdict) {
    case Verdict::Accepted:
        return "accettato";
    case Verdict::Resynchronised:
        return "accettato (risincronizzato)";
    case Verdict::Replay:
        return "ripetizione rifiutata";
    case Verdict::ResyncPending:
        return "fuori finestra, risincronizzazione in attesa";
    case Verdict::UnknownTransmitter:
        return "pulsiero sconosciuto";
    case Verdict::StaleMinute:
        return "minuto non attuale";
    }
    return "";
}

bool accepted(Verdict verdict) {
    return verdict == Verdict::Accepted || verdict == Verdict::Resynchronised;
}

std::int32_t Tracker::distance(std::int32_t from, std::int32_t to) {
    constexpr std::int32_t kCycle = frame::kLastStep;
    return ((to - 1) - (from - 1) + kCycle) % kCycle;
}

Tracker::Result Tracker::evaluate(std::int32_t transmitter, std::int32_t step,
                                  std::int32_t frameMinute, std::int32_t nowMinute,
                                  std::int64_t nowSeconds) {
    const auto stored = steps_.find(transmitter);
    const std::optional<std::int32_t> before =
        stored == steps_.end() ? std::nullopt : std::optional(stored->second);
    const auto verdict = [&](Verdict v) { return Result{v, before}; };

    if (!policy_.enrolled.empty() && !policy_.enrolled.count(transmitter))
        return verdict(Verdict::UnknownTransmitter);
    if (policy_.toleranceMinutes) {
        const int gap = std::abs(frameMinute - nowMinute) % frame::kMinutesPerDay;
        if (std::min(gap, frame::kMinutesPerDay - gap) > *policy_.toleranceMinutes)
            return verdict(Verdict::StaleMinute);
    }
    if (!before) {
        if (!policy_.learning)
            return verdict(Verdict::UnknownTransmitter);
        steps_[transmitter] = step;
        return verdict(Verdict::Accepted);
    }
    if (policy_.learning) { // learning makes any step the new starting point
        steps_[transmitter] = step;
        pending_.erase(transmitter);
        return verdict(Verdict::Accepted);
    }
    const std::int32_t d = distance(*before, step);
    if (d == 0 || d > frame::kLastStep / 2)
        return verdict(Verdict::Replay);
    if (d <= policy_.window) {
        steps_[transmitter] = step;
        pending_.erase(transmitter);
        return verdict(Verdict::Accepted);
    }
    const auto pending = pending_.find(transmitter);
    if (pending != pending_.end() && distance(pending->second.step, step) == 1 &&
        nowSeconds - pending->second.seconds <= policy_.resyncSeconds) {
        steps_[transmitter] = step;
        pending_.erase(pending);
        return verdict(Verdict::Resynchronised);
    }
    pending_[transmitter] = {step, nowSeconds};
    return verdict(Verdict::ResyncPending);
}

std::string Tracker::serialize() const {
    std::string text;
    for (const auto& [transmitter, step] : steps_)
        text += std::to_string(transmitter) + " " + std::to_string(step) + "\n";
    return text;
}

std::map<std::int32_t, std::int32_t> Tracker::parse(std::string_view text) {
    std::map<std::int32_t, std::int32_t> steps;
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::int64_t transmitter = 0;
        std::int64_t step = 0;
        if (fields >> transmitter >> step && transmitter >= 1 && transmitter <= 128 && step >= 1 &&
            step <= frame::kLastStep)
            steps[static_cast<std::int32_t>(transmitter)] = static_cast<std::int32_t>(step);
    }
    return steps;
}

} // namespace pulsiero::rolling
