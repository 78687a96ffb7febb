#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "tone/radio_audio.h"
#include "tone/radio_delay.h"

namespace {

using radio_audio::Radio;
using tone::KeyedStretch;

constexpr int kWpm = 25;  // a unit of 48 ms

// The moment the `n`th character the keyer keyed ends (characters part where the keyer left
// more than two units between marks).
double characterEnd(const std::vector<KeyedStretch>& keyed, int n) {
    int seen = 1;
    for (std::size_t i = 1; i < keyed.size(); ++i) {
        if (keyed[i].start - keyed[i - 1].end > 2 * 48 && ++seen > n) {
            return keyed[i - 1].end;
        }
    }
    return keyed.back().end;
}

struct Heard {
    std::optional<tone::DelayEstimate> after5;
    std::optional<tone::DelayEstimate> after20;
    std::optional<tone::DelayEstimate> atEnd;
};

// The radio's audio read 10 ms at a time, each read a little late, as an input delivers it.
Heard listen(const Radio& r, int words, double untilMs, std::optional<double> pitch = {}) {
    const auto keyed = radio_audio::keying(radio_audio::words(words, r.seed), kWpm, 500);
    const auto audio = radio_audio::render(r, keyed, untilMs);
    tone::RadioDelay delay(r.rate, pitch);
    const double at5 = characterEnd(keyed, 5) + r.delayMs + 100;
    const double at20 = characterEnd(keyed, 20) + r.delayMs + 100;
    Heard h;
    const auto chunk = static_cast<std::size_t>(r.rate / 100);
    for (std::size_t from = 0, i = 0; from < audio.size(); from += chunk, ++i) {
        const std::size_t n = std::min(chunk, audio.size() - from);
        const double readMs = 1000.0 * static_cast<double>(from + n) / r.rate + 1 + (i * 7 % 5);
        std::vector<KeyedStretch> sofar;
        for (const KeyedStretch& s : keyed) {
            if (s.start < readMs) {
                sofar.push_back({s.start, std::min(s.end, std::max(readMs, s.start))});
            }
        }
        delay.keyed(sofar);
        delay.heard(std::span(audio).subspan(from, n), tone::fromSeconds(readMs / 1000));
        if (!h.after5 && readMs >= at5) {
            h.after5 = delay.estimate();
        }
        if (!h.after20 && readMs >= at20) {
            h.after20 = delay.estimate();
        }
    }
    h.atEnd = delay.estimate();
    return h;
}

std::string show(const std::optional<tone::DelayEstimate>& e) {
    return e ? std::to_string(e->delayMs) + " +- " + std::to_string(e->plusMinusMs) + " (" +
                   std::to_string(e->edges) + " edges, " + std::to_string(e->pitchHz) + " Hz)"
             : "none";
}

TEST(RadioDelay, Probe) {
    const struct {
        const char* what;
        Radio radio;
    } cases[] = {
        {"48k clean", {.rate = 48000}},
        {"8k clean", {.rate = 8000}},
        {"44.1k 20 dB", {.rate = 44100, .snrDb = 20}},
        {"48k 6 dB", {.rate = 48000, .snrDb = 6}},
        {"8k 6 dB", {.rate = 8000, .snrDb = 6}},
        {"48k 0 dB", {.rate = 48000, .snrDb = 0}},
        {"fading", {.snrDb = 20, .fading = true}},
        {"agc", {.snrDb = 20, .agc = true}},
        {"clipped", {.snrDb = 20, .clipped = true}},
        {"second station", {.snrDb = 20, .secondHz = 1000}},
        {"delay 80", {.delayMs = 80, .snrDb = 20}},
        {"delay 1500", {.delayMs = 1500, .snrDb = 20}},
        {"voice", {.snrDb = 20, .voice = true}},
        {"noise only", {.snrDb = -99}},
    };
    for (const auto& c : cases) {
        const Heard h = listen(c.radio, 30, 40000);
        std::printf("%-16s want %.1f: after 5 %s, after 20 %s, end %s\n", c.what, c.radio.delayMs,
                    show(h.after5).c_str(), show(h.after20).c_str(), show(h.atEnd).c_str());
    }
}

}  // namespace
