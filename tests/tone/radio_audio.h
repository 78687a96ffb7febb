#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "keyer/stream_event.h"
#include "tone/keyed_timeline.h"
#include "tone/keyer_mirror.h"

// A radio's receive audio for the tests of the radio's delay: the keyer's keying as a CW tone,
// late by the radio's delay, with what real receive audio brings along.
namespace radio_audio {

// What the keyer keys for `text` at `wpm` from `atMs` on, on its own timeline.
inline std::vector<tone::KeyedStretch> keying(const std::string& text, int wpm, double atMs) {
    tone::KeyerMirror mirror(wpm);
    std::vector<keyer::StreamEvent> events;
    for (char c : text) {
        events.push_back({keyer::StreamEvent::Kind::Text, static_cast<std::uint8_t>(c)});
    }
    mirror.receive(events, tone::fromSeconds(atMs / 1000));
    mirror.commitUntil(tone::kNever);
    tone::KeyedTimeline timeline;
    for (const tone::SidetoneCommand& c : mirror.takeCommands()) {
        timeline.apply(c);
    }
    return timeline.stretches(1e15);
}

// The moment the `n`th character the keyer keyed ends (characters part where the keyer left
// more than two units between marks).
inline double characterEnd(const std::vector<tone::KeyedStretch>& keyed, int n, double unitMs) {
    int seen = 1;
    for (std::size_t i = 1; i < keyed.size(); ++i) {
        if (keyed[i].start - keyed[i - 1].end > 2 * unitMs && ++seen > n) {
            return keyed[i - 1].end;
        }
    }
    return keyed.back().end;
}

// Words an operator might send, in an order that does not repeat.
inline std::string words(int count, unsigned seed) {
    static const char* const kWords[] = {"CQ", "TEST", "DE", "K1ABC", "5NN", "TU",  "QRZ", "599",
                                         "UR", "RST",  "OP", "73",    "AGN", "PSE", "BK",  "FB"};
    std::mt19937 pick(seed);
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += kWords[pick() % std::size(kWords)];
        text += ' ';
    }
    return text;
}

struct Radio {
    int rate = 48000;
    double pitchHz = 700;
    double delayMs = 250;
    double stepAtMs = -1;  // from then on the delay is stepDelayMs
    double stepDelayMs = 0;
    double snrDb = 99;     // the tone against white noise in a 3 kHz band
    bool fading = false;   // a slow fade of the signal, 3 s a cycle, down to a fifth
    bool agc = false;      // a receiver's AGC: the gain rises in the spaces, falls in the marks
    bool clipped = false;  // overdriven: clipped at a third of the tone's level
    double secondHz = 0;   // another station's CW at this pitch, keyed at random
    bool voice = false;    // speech-like sound instead of our CW
    bool ours = true;      // our CW is in the audio at all
    double longerMs = 0;   // the radio lengthens each mark by this much
    unsigned seed = 1;
};

inline double ramp(double x) {  // a 5 ms raised cosine around an edge at 0
    return x <= -2.5 ? 0 : x >= 2.5 ? 1 : 0.5 - 0.5 * std::cos(std::numbers::pi * (x + 2.5) / 5);
}

// The radio's audio from 0 to `untilMs` (frame 0 heard at 0 ms).
inline std::vector<float> render(const Radio& r, const std::vector<tone::KeyedStretch>& keyed,
                                 double untilMs) {
    std::mt19937 rng(r.seed);
    std::normal_distribution<double> gauss;
    const auto frames = static_cast<std::size_t>(untilMs * r.rate / 1000);
    std::vector<float> out(frames);
    constexpr double kAmplitude = 0.3;
    const double noise =
        kAmplitude / std::sqrt(2) * std::pow(10, -r.snrDb / 20) * std::sqrt(r.rate / 2.0 / 3000);
    const auto delay = [&r](double t) {
        return r.stepAtMs >= 0 && t >= r.stepAtMs ? r.stepDelayMs : r.delayMs;
    };
    // The other station, at random: marks of 60 or 180 ms, gaps of 60 to 400 ms.
    std::vector<tone::KeyedStretch> other;
    for (double t = 100; t < untilMs; t += 0) {
        const double mark = rng() % 3 == 0 ? 180 : 60;
        other.push_back({t, t + mark});
        t += mark + 60 + static_cast<double>(rng() % 340);
    }
    double gain = 1;
    std::size_t next = 0;
    std::size_t nextOther = 0;
    double phase = 0;
    double otherPhase = 0;
    double voiceEnv = 0;
    double band[2] = {0, 0};
    for (std::size_t n = 0; n < frames; ++n) {
        const double t = 1000.0 * static_cast<double>(n) / r.rate;
        while (next < keyed.size() &&
               keyed[next].end + delay(keyed[next].start) + r.longerMs + 3 < t) {
            ++next;
        }
        double level = 0;
        for (std::size_t i = next;
             i < keyed.size() && keyed[i].start + delay(keyed[i].start) - 3 <= t; ++i) {
            const double d = delay(keyed[i].start);
            level = std::max(
                level, ramp(t - keyed[i].start - d) * ramp(keyed[i].end + d + r.longerMs - t));
        }
        if (r.voice || !r.ours) {
            level = 0;
        }
        if (r.fading) {
            level *= 0.6 + 0.4 * std::cos(2 * std::numbers::pi * t / 3000);
        }
        phase += 2 * std::numbers::pi * r.pitchHz / r.rate;
        double s = kAmplitude * level * std::sin(phase);
        if (r.secondHz > 0) {
            while (nextOther < other.size() && other[nextOther].end + 3 < t) {
                ++nextOther;
            }
            double o = 0;
            if (nextOther < other.size()) {
                o = ramp(t - other[nextOther].start) * ramp(other[nextOther].end - t);
            }
            otherPhase += 2 * std::numbers::pi * r.secondHz / r.rate;
            s += kAmplitude * o * std::sin(otherPhase);
        }
        if (r.voice) {  // noise shaped like speech: a band of 300-3000 Hz, syllables 4 a second
            const double white = gauss(rng);
            band[0] += 0.3 * (white - band[0]);
            band[1] += 0.05 * (band[0] - band[1]);
            voiceEnv = std::max(0.0, std::sin(2 * std::numbers::pi * t / 250)) *
                       (0.5 + 0.5 * std::sin(2 * std::numbers::pi * t / 1700));
            s += 3 * kAmplitude * voiceEnv * (band[0] - band[1]);
        }
        s += noise * gauss(rng);
        if (r.agc) {  // up to 3 times the gain after 300 ms of quiet; down within 20 ms
            const double target = level > 0.5 ? 1 : 3;
            gain += (target - gain) / ((target < gain ? 0.020 : 0.300) * r.rate);
            s *= gain;
        }
        if (r.clipped) {
            s = std::clamp(s, -kAmplitude / 3, kAmplitude / 3);
        }
        out[n] = static_cast<float>(s);
    }
    return out;
}

}  // namespace radio_audio
