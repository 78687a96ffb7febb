#pragma once

#include <cstdint>
#include <deque>
#include <span>

namespace sim {

// One station's CW on the radio's sample timeline: a sine at its pitch, keyed by edges that each
// get a raised-cosine ramp centred on the edge's own (fractional) frame, so that the tone is at
// half its level exactly there and does not click.
class KeyedTone {
  public:
    // How long a key edge takes to rise or fall.
    static constexpr double kRampSeconds = 0.005;

    KeyedTone(double pitchHz, double level, int frameRate);

    // Edges in frame order; an edge that repeats the key's state is ignored.
    void key(double frame, bool down);
    // Adds this station's sound for frames first, first + 1, ... to `out`.
    void render(std::int64_t first, std::span<float> out);
    // The key's state after the last edge given.
    bool down() const { return lastDown_; }

  private:
    struct Edge {
        double frame;
        bool down;
    };
    double envelope(double frame);

    double pitch_;
    double level_;
    int rate_;
    double halfRamp_;  // frames
    std::deque<Edge> edges_;
    bool settled_ = false;  // the key's state once every edge before the first queued has passed
    bool lastDown_ = false;
};

}  // namespace sim
