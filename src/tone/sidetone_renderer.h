#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "tone/mark_placer.h"
#include "tone/sidetone_contract.h"
#include "tone/stream_timeline.h"
#include "tone/tone_loop.h"

// The sidetone: the tone keyed by the monitor's marks, each key edge on the frame the placer
// gives it. Runs on the audio thread: no locks, no allocation.
namespace tone {

class SidetoneRenderer {
  public:
    // Every key edge is a raised-cosine ramp this long, centred on the edge's own frame, so the
    // level passes half way exactly where the mark's edge is.
    static constexpr double kEdgeSeconds = 0.005;
    static constexpr std::size_t kCapacity = 512;  // marks held at once
    // Marks are placed this long before the block that sounds them, so that a reading of the
    // stream's position in doubt (which places nothing new) does not make them late. Longer, and
    // a mark would miss a correction of the timeline found meanwhile.
    static constexpr double kPlaceAheadSeconds = 0.020;

    explicit SidetoneRenderer(int frameRate = 48000) { restart(frameRate, 0); }

    // A new stream: frame 0 comes next. Marks heard on the old stream (those begun before frame
    // `heardUntil` of it) go; the others are placed again on the new one.
    void restart(int frameRate, std::int64_t heardUntil);
    int frameRate() const { return frameRate_; }
    std::int64_t nextFrame() const { return next_; }

    // Whether a command can be taken now (a mark needs room).
    bool canTake() const { return count_ < kCapacity; }
    // `clock` is where the clock stands on this stream now (nullopt while not known).
    void apply(const SidetoneCommand& command, const std::optional<FrameClock>& clock);
    // Whether nothing is keyed or waiting to be.
    bool idle() const { return count_ == 0; }
    // How many marks of the keyer's sequence sounded more than a millisecond after their time.
    std::int64_t lateMarks() const { return placer_.lateMarks(); }

    // The tone to loop from the next silent frame on; a newer one replaces one still waiting.
    void offerTone(const ToneLoop* tone) { oscillator_.offer(tone); }
    const ToneLoop* currentTone() const { return oscillator_.current(); }
    const ToneLoop* waitingTone() const { return oscillator_.waiting(); }

    // Renders the next out.size() frames, asked for at `now`. Marks are placed by `clock`
    // (nothing new is placed while it is nullopt); `gain` is the key-down level for characters
    // that begin now.
    void render(std::span<std::int16_t> out, const std::optional<FrameClock>& clock, float gain,
                TimePoint now);

  private:
    struct Placed {
        KeyMark mark;
        bool placed = false;
        std::int64_t start = 0;  // frames, once placed
        std::int64_t end = 0;
        std::int64_t shift = 0;  // how far after its timeline it was placed
        // Since when it has waited for the stream's clock, if it ever did.
        std::optional<TimePoint> waitingSince{};
        float gain = -1;  // taken when its character begins
    };
    static constexpr std::size_t kBlock = 256;

    void place(const FrameClock& clock, TimePoint now);
    void endAt(Placed& p, TimePoint at, const std::optional<FrameClock>& clock);
    void remove(std::size_t index);
    bool begun(const Placed& p, std::int64_t by) const;
    void renderBlock(std::int16_t* out, std::size_t frames, float gain);
    float ramp(double x) const;

    int frameRate_ = 48000;
    double halfEdge_ = 0;
    std::int64_t next_ = 0;
    std::array<Placed, kCapacity> marks_{};  // in the order handed over
    std::size_t count_ = 0;
    float characterGain_ = 0;
    MarkPlacer placer_;
    ToneOscillator oscillator_;
};

}  // namespace tone
