#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "tone/sidetone_contract.h"

// What the keyer keyed, on its own timeline, as the commands of a keyer mirror without latency
// say it (ends and cuts applied): the truth the radio's audio is matched with. Pure.
namespace tone {

// A key-down stretch, in milliseconds of the monotonic clock.
struct KeyedStretch {
    double start = 0;
    double end = 0;
};

class KeyedTimeline {
  public:
    // How much of it is kept.
    static constexpr double kKeepSeconds = 20;

    void apply(const SidetoneCommand& command);
    // Drops what ended more than kKeepSeconds before `nowMs`.
    void forget(double nowMs);
    // The stretches that began before `nowMs`, in order, overlapping ones joined.
    std::vector<KeyedStretch> stretches(double nowMs) const;

  private:
    std::map<std::uint64_t, KeyedStretch> marks_;  // by id: in the order handed over
};

}  // namespace tone
