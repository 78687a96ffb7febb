#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "tone/delay_estimator.h"
#include "tone/edge_finder.h"
#include "tone/keyed_timeline.h"
#include "tone/sidetone_contract.h"
#include "tone/stream_timeline.h"
#include "tone/tone_bank.h"

// The radio's delay, measured from the radio's own audio: the audio is read as it arrives, its
// frames placed on the monotonic clock, the radio's CW found in it and lined up with what the
// keyer keyed. Pure: audio, keying and time come in as values.
namespace tone {

class RadioDelay {
  public:
    // The coarse search runs every kSearchEverySeconds of audio over the last
    // kSearchWindowSeconds; once a delay is held, a coarse match kRelockMs or more away from it,
    // twice in a row, means the delay changed, and the match is taken up afresh there. No more
    // than the edge tracker's gate: a step the gate no longer follows must start afresh.
    static constexpr double kSearchEverySeconds = 0.5;
    static constexpr double kSearchWindowSeconds = 4.0;
    static constexpr double kRelockMs = 8;
    // Once the pitch is known, the edges are looked for in the audio of the last kRawSeconds
    // too, so an estimate comes from what has been heard already. A pitch found this far from
    // the one used starts the edge finder again.
    static constexpr double kRawSeconds = 8.0;
    static constexpr double kRepitchHz = 30;

    // `pitchHz`: the radio's CW pitch when the operator gives it; found otherwise.
    explicit RadioDelay(int frameRate, std::optional<double> pitchHz = std::nullopt);

    // What the keyer keyed, on its own timeline (before the latency), up to now.
    void keyed(std::vector<KeyedStretch> stretches) { keyed_ = std::move(stretches); }
    // `samples` were read at `readAt`: the last the input had delivered by then.
    void heard(std::span<const float> samples, TimePoint readAt);

    // The delay from the keyer's key to the radio's audio; nullopt while none is known.
    std::optional<DelayEstimate> estimate() const;
    // The pitch the radio's CW was found at (or was given).
    std::optional<double> pitchHz() const;
    // Where the radio's audio lies on the monotonic clock; nullopt before it has been read.
    std::optional<CaptureClock> captureClock() const;

  private:
    void search(double nowMs);
    void startEdgeFinder(double pitch);
    void matchEdges(std::size_t from);

    int rate_;
    std::optional<double> givenPitch_;
    LagFilter capture_;  // the frame heard at origin_, from the earliest-looking readings
    bool clockKnown_ = false;
    TimePoint origin_{};
    std::int64_t delivered_ = 0;
    ToneBank bank_;
    std::vector<float> raw_;  // the last kRawSeconds of audio, a ring
    std::optional<EdgeFinder> finder_;
    std::int64_t finderStart_ = 0;  // the frame of the audio where the finder began
    std::vector<EdgeFinder::Edge> found_;
    std::vector<HeardEdge> edges_;  // the recent edges heard, on the monotonic clock
    DelayTracker tracker_;
    std::vector<KeyedStretch> keyed_;
    std::optional<CoarseMatch> match_;
    double nextSearchMs_ = 0;
    int disagreements_ = 0;
};

}  // namespace tone
