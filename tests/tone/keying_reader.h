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

// Marks and spaces of a tone at `frequency`: the level is read from each sample together with
// the one a quarter cycle earlier (sin and cos of the same tone), and a frame belongs to a
// mark when that level is above `threshold`.
inline std::vector<Stretch> stretches(const std::vector<std::int16_t>& s, int rate,
                                      double frequency, double threshold) {
    const auto quarter = static_cast<std::size_t>(std::lround(rate / frequency / 4));
    std::vector<bool> keyed(s.size());
    for (std::size_t n = quarter; n < s.size(); ++n) {
        const double a = s[n];
        const double b = s[n - quarter];
        keyed[n - quarter / 2] = std::sqrt(a * a + b * b) >= threshold;
    }
    std::vector<Stretch> out;
    std::size_t start = 0;
    for (std::size_t n = 1; n <= s.size(); ++n) {
        if (n == s.size() || keyed[n] != keyed[start]) {
            out.push_back({keyed[start], start, n - start});
            start = n;
        }
    }
    return out;
}

// Only the keying between the first and the last mark.
inline std::vector<Stretch> inner(std::vector<Stretch> st) {
    while (!st.empty() && !st.front().keyed) {
        st.erase(st.begin());
    }
    while (!st.empty() && !st.back().keyed) {
        st.pop_back();
    }
    return st;
}

// Joins stretches shorter than `frames` into their neighbours (a recording can carry a click
// of a sample or two where the server adjusts its buffer).
inline std::vector<Stretch> debounced(const std::vector<Stretch>& st, std::size_t frames) {
    std::vector<Stretch> out;
    for (const Stretch& s : st) {
        if (!out.empty() && (s.frames < frames || out.back().keyed == s.keyed)) {
            out.back().frames = s.start + s.frames - out.back().start;
            continue;
        }
        out.push_back(s);
    }
    return out;
}

}  // namespace keying
