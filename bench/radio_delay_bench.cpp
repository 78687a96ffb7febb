// The radio's delay as Vantrel measures it from the radio's audio: how close the estimate comes
// after 5 and 20 characters at each delay and signal-to-noise, how soon a step in the delay is
// followed, whether anything is claimed without our CW, and what listening costs in CPU.
// Synthetic radio audio (the tests' radio): prints figures, never judges.
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "tone/radio_audio.h"
#include "tone/radio_delay.h"

namespace {

using radio_audio::Radio;
using tone::KeyedStretch;

constexpr int kWpm = 25;
constexpr double kUnitMs = 1200.0 / kWpm;

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct Run {
    std::optional<tone::DelayEstimate> after5, after20, atEnd;
    std::optional<double> steppedAtMs;  // when a step's new delay was first held to 1 ms
    double cpu = 0;                     // seconds of CPU
    double audioSeconds = 0;
};

// The audio read 10 ms at a time, as an input delivers it, the keying known as it happens.
Run listen(const Radio& r, double untilMs, int words = 40) {
    const auto keyed = radio_audio::keying(radio_audio::words(words, r.seed), kWpm, 500);
    const auto audio = radio_audio::render(r, keyed, untilMs);
    tone::RadioDelay delay(r.rate);
    const double at5 = radio_audio::characterEnd(keyed, 5, kUnitMs) + r.delayMs + 100;
    const double at20 = radio_audio::characterEnd(keyed, 20, kUnitMs) + r.delayMs + 100;
    Run run;
    run.audioSeconds = untilMs / 1000;
    const auto chunk = static_cast<std::size_t>(r.rate / 100);
    std::vector<KeyedStretch> sofar;
    for (std::size_t from = 0; from + chunk <= audio.size(); from += chunk) {
        const double readMs = 1000.0 * static_cast<double>(from + chunk) / r.rate;
        sofar.clear();
        for (const KeyedStretch& s : keyed) {
            if (s.start < readMs) {
                sofar.push_back({s.start, std::min(s.end, readMs)});
            }
        }
        const double before = cpuSeconds();
        delay.keyed(sofar);
        delay.heard(std::span(audio).subspan(from, chunk), tone::fromSeconds(readMs / 1000));
        const auto e = delay.estimate();
        run.cpu += cpuSeconds() - before;
        if (!run.after5 && readMs >= at5) {
            run.after5 = e;
        }
        if (!run.after20 && readMs >= at20) {
            run.after20 = e;
        }
        if (r.stepAtMs >= 0 && !run.steppedAtMs && readMs > r.stepAtMs && e &&
            std::abs(e->delayMs - r.stepDelayMs) < 1) {
            run.steppedAtMs = readMs;
        }
    }
    run.atEnd = delay.estimate();
    return run;
}

double error(const std::optional<tone::DelayEstimate>& e, double want) {
    return e ? std::abs(e->delayMs - want) : std::nan("");
}

}  // namespace

int main() {
    std::printf("The estimate against the radio's delay, 25 wpm, 48 kHz, worst of 3 texts\n");
    std::printf("%8s %6s %12s %12s %10s\n", "delay", "S/N", "after 5", "after 20", "misses");
    for (const double delayMs : {80.0, 250.0, 600.0, 1500.0}) {
        for (const double snr : {20.0, 6.0, 0.0}) {
            double worst5 = 0, worst20 = 0;
            int misses = 0;
            for (unsigned seed = 1; seed <= 3; ++seed) {
                const Run run = listen({.delayMs = delayMs, .snrDb = snr, .seed = seed}, 32000);
                const double e5 = error(run.after5, delayMs), e20 = error(run.after20, delayMs);
                misses += std::isnan(e5) + std::isnan(e20);
                worst5 = std::max(worst5, std::isnan(e5) ? 0 : e5);
                worst20 = std::max(worst20, std::isnan(e20) ? 0 : e20);
            }
            std::printf("%6.0f ms %3.0f dB %9.2f ms %9.2f ms %10d\n", delayMs, snr, worst5, worst20,
                        misses);
        }
    }

    std::printf("\nA step from 250 to 400 ms at 15 s, 20 dB: followed (to 1 ms) after\n");
    for (unsigned seed = 1; seed <= 3; ++seed) {
        const Run run = listen(
            {.delayMs = 250, .stepAtMs = 15000, .stepDelayMs = 400, .snrDb = 20, .seed = seed},
            32000);
        if (run.steppedAtMs) {
            const double ms = *run.steppedAtMs - 15000 - 400;
            std::printf("  text %u: %.0f ms of keying (%.1f words of PARIS)\n", seed, ms,
                        ms / (50 * kUnitMs));
        } else {
            std::printf("  text %u: not followed\n", seed);
        }
    }

    std::printf("\nWithout our CW: estimates claimed (want none)\n");
    const struct {
        const char* what;
        Radio radio;
    } none[] = {
        {"silence", {.ours = false}},
        {"noise only", {.snrDb = -30}},
        {"speech", {.snrDb = 20, .voice = true}},
        {"another station's CW only", {.snrDb = 20, .secondHz = 700, .ours = false}},
    };
    for (const auto& c : none) {
        int claimed = 0;
        for (unsigned seed = 1; seed <= 3; ++seed) {
            Radio r = c.radio;
            r.seed = seed;
            const Run run = listen(r, 30000);
            claimed += run.after5.has_value() || run.after20.has_value() || run.atEnd.has_value();
        }
        std::printf("  %-28s %d of 3\n", c.what, claimed);
    }

    std::printf("\nCPU while listening (one core), 60 s of audio\n");
    for (const int rate : {8000, 48000}) {
        const Run keying = listen({.rate = rate, .snrDb = 20}, 60000, 60);
        const Run quiet = listen({.rate = rate, .ours = false}, 60000, 60);
        std::printf("  %5d Hz: %.2f %% while our CW is heard, %.2f %% in silence\n", rate,
                    100 * keying.cpu / keying.audioSeconds, 100 * quiet.cpu / quiet.audioSeconds);
    }
    return 0;
}
