#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "tone/keyed_timeline.h"
#include "tone/tone_bank.h"

// How late the radio's audio follows the keyer: found coarsely by lining the radio's tone up with
// the keyer's keying, then to a fraction of a millisecond by matching each heard key edge with
// the keyer's own. Pure: everything comes in as values, in milliseconds of the monotonic clock.
namespace tone {

// Where frames of the radio's audio lie on the monotonic clock.
struct CaptureClock {
    double originMs = 0;  // frame `originFrame` was heard then
    double originFrame = 0;
    double rate = 48000;
    double msAt(double frame) const { return originMs + (frame - originFrame) * 1000 / rate; }
};

// The lag and the pitch at which the radio's tone follows the keyer's keying best.
struct CoarseMatch {
    double delayMs = 0;
    double pitchHz = 0;
    double correlation = 0;  // of the tone's level with the keying, -1..1
};

struct CoarseSearch {
    // The longest delay looked for.
    static constexpr double kLongestDelayMs = 3000;
    // The keyer must have keyed this many marks within the blocks looked at, and the tone must
    // follow the keying this closely, for there to be a match: noise, voice and another
    // station's CW follow it much less.
    static constexpr int kLeastMarks = 6;
    static constexpr double kLeastCorrelation = 0.7;

    // Blocks [fromBlock, toBlock) of `bank`, the bins [firstBin, lastBin] of it.
    static std::optional<CoarseMatch> run(const ToneBank& bank, std::int64_t fromBlock,
                                          std::int64_t toBlock, std::size_t firstBin,
                                          std::size_t lastBin, const CaptureClock& clock,
                                          std::span<const KeyedStretch> keyed);
};

// A heard key edge, in milliseconds of the monotonic clock.
struct HeardEdge {
    double at = 0;
    bool down = false;
};

struct DelayEstimate {
    double delayMs = 0;
    double plusMinusMs = 0;  // the estimate's standard error
    std::size_t edges = 0;   // matched edges it rests on
    double pitchHz = 0;
};

// Matches heard edges with the keyer's edges near the delay so far and keeps the recent ones.
class DelayTracker {
  public:
    // A heard edge matches a keyer edge of the same kind this close to the delay so far; a
    // key-up also up to kLongestLengtheningMs later, for a radio that lengthens its marks (a
    // slow release, a receiver's hang). Keyed edges of a kind are further apart than the window:
    // one match at most. The last kKept matches are kept; an estimate needs kLeast of them,
    // spread no more than kMostSpreadMs (the median's absolute deviation).
    //
    // The delay is the key-downs': each element starts the delay after the keyer starts it,
    // however long the radio makes it. The key-ups confirm the match and how sure it is.
    static constexpr double kGateMs = 8;
    static constexpr double kLongestLengtheningMs = 20;
    static constexpr std::size_t kKept = 40;
    static constexpr std::size_t kLeast = 10;
    static constexpr std::size_t kLeastDowns = 4;
    static constexpr double kMostSpreadMs = 2.0;

    // Starts afresh at a coarse delay.
    void lockAt(double delayMs);
    void unlock();
    bool locked() const { return locked_; }
    // The best delay so far: the estimate's, or the coarse one.
    double delayMs() const;
    // The delay of the marks' middles, as the coarse search sees it: between the key-downs' and
    // the key-ups' delays.
    double middleMs() const;
    void heard(const HeardEdge& edge, std::span<const KeyedStretch> keyed);
    std::optional<DelayEstimate> estimate() const;

  private:
    struct Match {
        double offset;  // heard less keyed
        bool down;
    };
    bool locked_ = false;
    double coarse_ = 0;
    std::deque<Match> matches_;
};

}  // namespace tone
