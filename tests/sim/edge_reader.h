#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

// Reads the key edges back from the simulated radio's audio: where a keyed tone at `pitch`
// crosses half its full level, to a fraction of a frame. The level is the tone's amplitude over
// a window of whole cycles about 10 ms long, centred on each frame (the sample times a cosine
// and a sine of the pitch, summed). Such a window keeps a ramp's half-level point where it is,
// and passes little of a tone a few hundred hertz away. An edge counts once the level has gone
// on past 0.3 or 0.7 of full, so that a ripple at the crossing does not make two.
namespace radio_test {

struct HeardEdge {
    double frame;
    bool down;
};

inline std::vector<HeardEdge> heardEdges(const std::vector<std::int16_t>& s, int rate, double pitch,
                                         double fullLevel) {
    const double cycle = rate / pitch;
    const auto window = static_cast<std::size_t>(std::lround(std::round(0.010 * pitch) * cycle));
    if (s.size() <= window + 2) {
        return {};
    }
    std::vector<double> sumI(s.size() + 1);
    std::vector<double> sumQ(s.size() + 1);
    const double w = 2 * std::numbers::pi / cycle;
    for (std::size_t n = 0; n < s.size(); ++n) {
        const double phase = std::fmod(w * static_cast<double>(n), 2 * std::numbers::pi);
        sumI[n + 1] = sumI[n] + s[n] * std::cos(phase);
        sumQ[n + 1] = sumQ[n] + s[n] * std::sin(phase);
    }
    // The level of the window that starts at frame a; it belongs to its middle.
    auto level = [&](std::size_t a) {
        return 2 * std::hypot(sumI[a + window] - sumI[a], sumQ[a + window] - sumQ[a]) /
               static_cast<double>(window) / fullLevel;
    };
    const double middle = static_cast<double>(window - 1) / 2;
    std::vector<HeardEdge> edges;
    bool down = false;
    for (std::size_t a = 1; a + window <= s.size(); ++a) {
        const double v = level(a);
        if (down ? v > 0.3 : v < 0.7) {
            continue;
        }
        down = !down;
        std::size_t m = a;  // back to where the level crossed a half
        while (m > 1 && (level(m - 1) >= 0.5) == down) {
            --m;
        }
        const double before = level(m - 1);
        const double after = level(m);
        const double at = static_cast<double>(m - 1) +
                          (after != before ? (0.5 - before) / (after - before) : 0.5);
        edges.push_back({at + middle, down});
    }
    return edges;
}

}  // namespace radio_test
