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
constexpr std::string_view kKeyedMark = " chiave";

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
    case Verdict::HourlyAdvance:
        return "troppi passi avanti in un'ora";
    case Verdict::LearningFull:
        return "apprendimento al completo";
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
    case Verdict::HourlyAdvance:
        return "avanzamento_orario";
    case Verdict::LearningFull:
        return "apprendimento_completo";
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

// True when a first frame remembered from the same origin is the step just before this one.
bool Tracker::completesPair(bool keyed, const std::vector<Candidate>& candidates, Counter step,
                            std::string_view origin) const {
    return std::any_of(candidates.begin(), candidates.end(), [&](const Candidate& c) {
        return c.origin == origin && ahead(keyed, c.step, step) == 1;
    });
}

// The same frame again neither adds a candidate nor refreshes its time. An origin keeps its
// newest few, and a transmitter its newest many, so no one origin crowds out another's.
void Tracker::remember(std::vector<Candidate>& candidates, Counter step, std::int64_t seconds,
                       std::string_view origin) const {
    const auto fromOrigin = [&](const Candidate& c) { return c.origin == origin; };
    if (std::any_of(candidates.begin(), candidates.end(),
                    [&](const Candidate& c) { return fromOrigin(c) && c.step == step; }))
        return;
    if (static_cast<std::size_t>(std::count_if(candidates.begin(), candidates.end(), fromOrigin)) >=
        kCandidates)
        candidates.erase(std::find_if(candidates.begin(), candidates.end(), fromOrigin));
    else if (candidates.size() >= kAllCandidates)
        candidates.erase(candidates.begin());
    candidates.push_back({step, seconds, std::string(origin)});
}

// The steps a plain transmitter moved within the last hour, this move included, stay within the
// hourly bound; a move that would exceed it is refused and not counted.
bool Tracker::withinHourlyAdvance(std::int32_t transmitter, std::int64_t steps,
                                  std::int64_t nowSeconds) {
    auto& moves = advances_[transmitter];
    std::erase_if(moves, [&](const Advance& a) { return nowSeconds - a.seconds >= 3600; });
    std::int64_t total = steps;
    for (const auto& a : moves)
        total += a.steps;
    if (total > policy_.hourlyAdvance)
        return false;
    moves.push_back({nowSeconds, steps});
    return true;
}

void Tracker::forget(std::int32_t transmitter) {
    steps_.erase(transmitter);
    candidates_.erase(transmitter);
    advances_.erase(transmitter);
}

Tracker::Result Tracker::evaluate(std::int32_t transmitter, Counter step, std::int32_t frameMinute,
                                  std::int32_t nowMinute, std::int64_t nowSeconds,
                                  std::string_view origin) {
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
        if (learnt_ >= policy_.learnLimit && policy_.enrolled.empty())
            return verdict(Verdict::LearningFull);
        if (completesPair(keyed, candidates, step, origin)) {
            ++learnt_;
            return adopt(Verdict::Learnt);
        }
        remember(candidates, step, nowSeconds, origin);
        return verdict(Verdict::LearningPending);
    }
    const std::int64_t d = ahead(keyed, *before, step);
    if (d <= 0 || (!keyed && d > policy_.cycle / 2))
        return verdict(Verdict::Replay);
    if (!keyed && d > policy_.window + policy_.resyncSteps)
        return verdict(Verdict::ResyncTooFar);
    const bool pair = d > policy_.window && completesPair(keyed, candidates, step, origin);
    if (d > policy_.window && !pair) {
        remember(candidates, step, nowSeconds, origin);
        return verdict(Verdict::ResyncPending);
    }
    if (!keyed && !withinHourlyAdvance(transmitter, d, nowSeconds))
        return verdict(Verdict::HourlyAdvance);
    return adopt(pair ? Verdict::Resynchronised : Verdict::Accepted);
}

std::string serialize(const Tracker::Steps& steps, const std::set<std::int32_t>& keyed) {
    const bool wide = !keyed.empty() || std::any_of(steps.begin(), steps.end(), [](const auto& e) {
        return e.second < 1 || e.second > 65535;
    });
    std::string text(wide ? kHeaderWide : kHeader);
    for (const auto& [transmitter, step] : steps)
        text += std::to_string(transmitter) + " " + std::to_string(step) +
                (keyed.count(transmitter) ? std::string(kKeyedMark) : "") + "\n";
    // A keyed transmitter with no counter yet (its first frame still to come) keeps its mark.
    for (const auto transmitter : keyed)
        if (!steps.count(transmitter))
            text += std::to_string(transmitter) + " -" + std::string(kKeyedMark) + "\n";
    return text + std::string(kCheckPrefix) + hex8(crc32(text)) + "\n";
}

std::variant<State, std::string> parseStateFile(std::string_view text, std::int64_t cycle) {
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

    State state;
    std::size_t lineNumber = 1;
    std::size_t start = kHeader.size();
    while (start < body.size()) {
        const auto end = body.find('\n', start);
        auto line = body.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        const bool keyed = wide && line.size() > kKeyedMark.size() &&
                           line.substr(line.size() - kKeyedMark.size()) == kKeyedMark;
        if (keyed)
            line.remove_suffix(kKeyedMark.size());
        const auto space = line.find(' ');
        const auto transmitter = digits(line.substr(0, space));
        const bool noStep =
            keyed && space != std::string_view::npos && line.substr(space + 1) == "-";
        const auto step = space == std::string_view::npos || noStep
                              ? std::nullopt
                              : digits(line.substr(space + 1));
        const auto number = static_cast<std::int32_t>(transmitter.value_or(0));
        if (!transmitter || (!step && !noStep) || *transmitter < 1 || *transmitter > 128 ||
            (step && (*step < lowest || *step > highest)) || state.steps.count(number) ||
            state.keyed.count(number))
            return "riga " + std::to_string(lineNumber) + " non valida";
        if (step)
            state.steps[number] = static_cast<Counter>(*step);
        if (keyed)
            state.keyed.insert(number);
    }
    return state;
}

std::variant<Tracker::Steps, std::string> parseState(std::string_view text, std::int64_t cycle) {
    auto parsed = parseStateFile(text, cycle);
    if (auto* problem = std::get_if<std::string>(&parsed))
        return std::move(*problem);
    return std::move(std::get<State>(parsed).steps);
}

} // namespace pulsiero::rolling
