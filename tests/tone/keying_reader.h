#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

// Reads the keying back from a rendered or recorded sidetone.
namespace keying {

struct Stretch {
    bool keyed;
    std::size_t start;   // first frame
    std::size_t frames;  // length
};

// The marks and spaces from the first mark to the last of a tone at `frequency`. The level is
// read from each sample together with the one a quarter cycle earlier (sin and cos of the same
// tone); a frame is keyed when that level reaches `threshold`. Stretches shorter than `shortest`
// frames join their neighbours (a recording can carry a click where the server adjusts its
// buffer, or a dip inside a mark when it is under load).
inline std::vector<Stretch> marksAndSpaces(const std::vector<std::int16_t>& s, int rate,
                                           double frequency, double threshold,
                                           std::size_t shortest = 1) {
    const auto quarter = static_cast<std::size_t>(std::lround(rate / frequency / 4));
    std::vector<bool> keyed(s.size());
    for (std::size_t n = quarter; n < s.size(); ++n) {
        keyed[n - quarter / 2] = std::hypot(s[n], s[n - quarter]) >= threshold;
    }
    std::vector<Stretch> out;
    for (std::size_t start = 0, n = 1; n <= s.size(); ++n) {
        if (n < s.size() && keyed[n] == keyed[start]) {
            continue;
        }
        if (!out.empty() && (n - start < shortest || out.back().keyed == keyed[start])) {
            out.back().frames = n - out.back().start;
        } else {
            out.push_back({keyed[start], start, n - start});
        }
        start = n;
    }
    if (!out.empty() && !out.front().keyed) {
        out.erase(out.begin());
    }
    if (!out.empty() && !out.back().keyed) {
        out.pop_back();
    }
    return out;
}

}  // namespace keying
