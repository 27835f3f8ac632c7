#include "core/CodiceVariabile.h"

#include "core/Frame.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace pulsiero::rolling {

namespace {

constexpr std::string_view kHeader = "pulsiero-ricevitore stato 1\n";
constexpr std::string_view kHeaderWide = "pulsiero-ricevitore stato 2\n";
constexpr std::string_view kCheckPrefix = "controllo ";

std::uint32_t crc32(std::string_view bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const unsigned char b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string hex8(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

// Plain decimal digits only: no sign, no blanks, no leading zero.
std::optional<std::int64_t> digits(std::string_view text) {
    if (text.empty() || text.size() > 10 || (text.size() > 1 && text[0] == '0'))
        return std::nullopt;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::string_view describe(Verdict verdict) {
    switch (verdict) {
    case Verdict::Accepted:
        return "accettato";
    case Verdict::Resynchronised:
        return "accettato (risincronizzato)";
    case Verdict::Learnt:
        return "accettato (pulsiero appreso)";
    case Verdict::Replay:
        return "ripetizione rifiutata";
    case Verdict::ResyncPending:
        return "fuori finestra, risincronizzazione in attesa";
    case Verdict::ResyncTooFar:
        return "troppo avanti per risincronizzare";
    case Verdict::LearningPending:
        return "apprendimento in attesa del passo successivo";
    case Verdict::UnknownTransmitter:
        return "pulsiero sconosciuto";
    case Verdict::StaleMinute:
        return "minuto non attuale";
    }
    return "";
}

std::string_view code(Verdict verdict) {
    switch (verdict) {
    case Verdict::Accepted:
        return "accettato";
    case Verdict::Resynchronised:
        return "risincronizzato";
    case Verdict::Learnt:
        return "appreso";
    case Verdict::Replay:
        return "ripetizione";
    case Verdict::ResyncPending:
        return "risincronizzazione_in_attesa";
    case Verdict::ResyncTooFar:
        return "troppo_avanti";
    case Verdict::LearningPending:
        return "apprendimento_in_attesa";
    case Verdict::UnknownTransmitter:
        return "sconosciuto";
    case Verdict::StaleMinute:
        return "minuto";
    }
    return "";
}

bool accepted(Verdict verdict) {
    return verdict == Verdict::Accepted || verdict == Verdict::Resynchronised ||
           verdict == Verdict::Learnt;
}

std::int64_t Tracker::distance(Counter from, Counter to) const {
    const std::int64_t cycle = policy_.cycle;
    return ((std::int64_t{to} - 1) - (std::int64_t{from} - 1) + cycle) % cycle;
}

bool Tracker::staleMinute(std::int32_t frameMinute, std::int32_t nowMinute) const {
    if (!policy_.toleranceMinutes)
        return false;
    const int gap = std::abs(frameMinute - nowMinute) % frame::kMinutesPerDay;
    return std::min(gap, frame::kMinutesPerDay - gap) > *policy_.toleranceMinutes;
}

// How far forward a counter is: on the cycle for plain transmitters; for keyed ones a plain
// difference, zero or less for anything not ahead, since their counter never wraps.
std::int64_t Tracker::ahead(bool keyed, Counter from, Counter to) const {
    return keyed ? keyedOrdinal(to) - keyedOrdinal(from) : distance(from, to);
}

// True when a remembered first frame is the step just before this one.
bool Tracker::completesPair(bool keyed, std::vector<Candidate>& candidates, Counter step) const {
    return std::any_of(candidates.begin(), candidates.end(),
                       [&](const Candidate& c) { return ahead(keyed, c.step, step) == 1; });
}

// The same frame again neither adds a candidate nor refreshes its time; the oldest goes first.
void Tracker::remember(std::vector<Candidate>& candidates, Counter step,
                       std::int64_t seconds) const {
    if (std::any_of(candidates.begin(), candidates.end(),
                    [&](const Candidate& c) { return c.step == step; }))
        return;
    candidates.push_back({step, seconds});
    if (candidates.size() > kCandidates)
        candidates.erase(candidates.begin());
}

Tracker::Result Tracker::evaluate(std::int32_t transmitter, Counter step, std::int32_t frameMinute,
                                  std::int32_t nowMinute, std::int64_t nowSeconds) {
    const auto stored = steps_.find(transmitter);
    const std::optional<Counter> before =
        stored == steps_.end() ? std::nullopt : std::optional(stored->second);
    const auto verdict = [&](Verdict v) { return Result{v, before}; };

    if (!policy_.enrolled.empty() && !policy_.enrolled.count(transmitter))
        return verdict(Verdict::UnknownTransmitter);
    if (staleMinute(frameMinute, nowMinute))
        return verdict(Verdict::StaleMinute);
    if (!before && !learning(nowSeconds))
        return verdict(Verdict::UnknownTransmitter);

    const bool keyed = policy_.keyed.count(transmitter) > 0;
    auto& candidates = candidates_[transmitter];
    std::erase_if(candidates, [&](const Candidate& c) {
        return nowSeconds - c.seconds > policy_.resyncSeconds;
    });
    const auto adopt = [&](Verdict v) {
        steps_[transmitter] = step;
        candidates.clear();
        return verdict(v);
    };
    if (!before) {
        if (completesPair(keyed, candidates, step))
            return adopt(Verdict::Learnt);
        remember(candidates, step, nowSeconds);
        return verdict(Verdict::LearningPending);
    }
    const std::int64_t d = ahead(keyed, *before, step);
    if (d <= 0 || (!keyed && d > policy_.cycle / 2))
        return verdict(Verdict::Replay);
    if (d <= policy_.window)
        return adopt(Verdict::Accepted);
    if (!keyed && d > policy_.window + policy_.resyncSteps)
        return verdict(Verdict::ResyncTooFar);
    if (completesPair(keyed, candidates, step))
        return adopt(Verdict::Resynchronised);
    remember(candidates, step, nowSeconds);
    return verdict(Verdict::ResyncPending);
}

std::string serialize(const Tracker::Steps& steps) {
    const bool wide = std::any_of(steps.begin(), steps.end(), [](const auto& entry) {
        return entry.second < 1 || entry.second > 65535;
    });
    std::string text(wide ? kHeaderWide : kHeader);
    for (const auto& [transmitter, step] : steps)
        text += std::to_string(transmitter) + " " + std::to_string(step) + "\n";
    return text + std::string(kCheckPrefix) + hex8(crc32(text)) + "\n";
}

std::variant<Tracker::Steps, std::string> parseState(std::string_view text, std::int64_t cycle) {
    const bool wide = text.substr(0, kHeaderWide.size()) == kHeaderWide;
    if (!wide && text.substr(0, kHeader.size()) != kHeader)
        return std::string("intestazione mancante o sconosciuta");
    const std::int64_t lowest = wide ? 0 : 1;
    const std::int64_t highest = wide ? std::int64_t{0xFFFFFFFF} : cycle;
    if (text.empty() || text.back() != '\n')
        return std::string("file troncato (manca la riga di controllo)");
    const auto lastLine = text.rfind('\n', text.size() - 2) + 1;
    const auto body = text.substr(0, lastLine);
    const auto check = text.substr(lastLine, text.size() - 1 - lastLine);
    if (lastLine < kHeader.size() || check.substr(0, kCheckPrefix.size()) != kCheckPrefix)
        return std::string("file troncato (manca la riga di controllo)");
    if (check.substr(kCheckPrefix.size()) != hex8(crc32(body)))
        return std::string("somma di controllo errata");

    Tracker::Steps steps;
    std::size_t lineNumber = 1;
    std::size_t start = kHeader.size();
    while (start < body.size()) {
        const auto end = body.find('\n', start);
        const auto line = body.substr(start, end - start);
        ++lineNumber;
        const auto space = line.find(' ');
        const auto transmitter = digits(line.substr(0, space));
        const auto step =
            space == std::string_view::npos ? std::nullopt : digits(line.substr(space + 1));
        if (!transmitter || !step || *transmitter < 1 || *transmitter > 128 || *step < lowest ||
            *step > highest || steps.count(static_cast<std::int32_t>(*transmitter)))
            return "riga " + std::to_string(lineNumber) + " non valida";
        steps[static_cast<std::int32_t>(*transmitter)] = static_cast<Counter>(*step);
        start = end + 1;
    }
    return steps;
}

} // namespace pulsiero::rolling
