#include "tone/sidetone.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace tone {
namespace {

constexpr int kSilentLevel = -10000;
constexpr double kFullScale = 32767.0;
constexpr std::int64_t kForever = std::numeric_limits<std::int64_t>::max();

std::int64_t roundFrames(double frames) {
    return static_cast<std::int64_t>(std::llround(frames));
}

double seconds(TimePoint d) {
    return std::chrono::duration<double>(d).count();
}

}  // namespace

double volumeGain(int hundredthsOfDb) {
    if (hundredthsOfDb <= kSilentLevel) {
        return 0;
    }
    return std::pow(10.0, std::min(hundredthsOfDb, 0) / 2000.0);
}

double FrameClock::frameAt(TimePoint t) const {
    return originFrame + seconds(t - origin) * rate;
}

void Sidetone::restart(int frameRate) {
    for (std::size_t i = count_; i > 0; --i) {
        if (begun(marks_[i - 1])) {
            remove(i - 1);
        } else {
            marks_[i - 1].placed = false;
        }
    }
    frameRate_ = frameRate > 0 ? frameRate : 48000;
    halfEdge_ = kEdgeSeconds * frameRate_ / 2;
    next_ = 0;
    chainKnown_ = false;
}

bool Sidetone::begun(const Placed& p) const {
    return p.placed && static_cast<double>(p.start) - halfEdge_ < static_cast<double>(next_);
}

void Sidetone::remove(std::size_t index) {
    std::move(marks_.begin() + static_cast<std::ptrdiff_t>(index + 1),
              marks_.begin() + static_cast<std::ptrdiff_t>(count_),
              marks_.begin() + static_cast<std::ptrdiff_t>(index));
    --count_;
}

void Sidetone::apply(const SidetoneCommand& command) {
    const KeyMark& m = command.mark;
    switch (command.kind) {
        case SidetoneCommand::Kind::Mark:
            if (count_ < kCapacity && m.end > m.start) {
                marks_[count_++] = Placed{m};
            }
            return;
        case SidetoneCommand::Kind::EndMark:
            for (std::size_t i = 0; i < count_; ++i) {
                if (marks_[i].mark.id == m.id) {
                    endAt(marks_[i], m.end, clock_);
                    if (!marks_[i].placed ? marks_[i].mark.end <= marks_[i].mark.start
                                          : marks_[i].end <= marks_[i].start) {
                        remove(i);
                    }
                    return;
                }
            }
            return;
        case SidetoneCommand::Kind::CutFrom:
            for (std::size_t i = count_; i > 0; --i) {
                Placed& p = marks_[i - 1];
                if (p.mark.start >= m.start && !begun(p)) {
                    remove(i - 1);
                } else if (p.mark.end > m.start) {
                    endAt(p, std::max(p.mark.start, m.start), clock_);
                }
            }
            if (clock_ != nullptr && chainKnown_) {
                chainEnd_ = std::min(chainEnd_, roundFrames(clock_->frameAt(m.start)));
            }
            return;
    }
}

// Ends a mark at `at` on the timeline (as late as the mark itself was placed), or as soon as a
// clean edge still can when that has passed.
void Sidetone::endAt(Placed& p, TimePoint at, const FrameClock* clock) {
    p.mark.end = std::min(p.mark.end, at);
    if (!p.placed) {
        return;
    }
    std::int64_t end = p.start;
    if (clock != nullptr) {
        end = roundFrames(clock->frameAt(at)) + p.shift;
    }
    const auto earliest = next_ + static_cast<std::int64_t>(std::ceil(halfEdge_));
    if (begun(p)) {
        end = std::max(end, earliest);
    }
    p.end = std::min(p.end, std::max(end, p.start));
}

// Where the busy sequence puts a mark keyed at `at`: counted from where the sequence was last
// set, so frames do not round up along it.
std::int64_t Sidetone::sequenceFrame(TimePoint at) const {
    return anchorFrame_ + roundFrames(seconds(at - anchorTime_) * frameRate_);
}

void Sidetone::offerTone(const ToneLoop* tone) {
    waiting_ = tone;
}

// Places the marks that begin within the frames about to be rendered, each on its frame of the
// timeline, or as soon as it still can. While the keyer was busy, a mark follows the one before
// it by the gap the keyer keyed, so the stream's position readings, which jitter by a millisecond
// or so, hardly move a space: the sequence is pulled toward the timeline by a quarter of the
// difference a character, at most kNudgeSeconds, and moved at once only when it is far ahead.
// When the sidetone falls behind inside a busy stretch (a late hand-over, a stall, a device that
// ran dry), marks keep the gaps inside characters, so characters are never squeezed, and the
// sidetone catches up in the gaps between them, taking at most a third of each. A stretch that
// began late (a latency shorter than the output's delay) keeps its rhythm; where the keyer had
// rested the sidetone catches up at once, keeping a letter gap.
void Sidetone::place(const FrameClock& clock) {
    // A little ahead of the block, so a mark is placed before the block that sounds it: a change
    // of the timeline found meanwhile moves the marks after it by a small pull, not this one.
    const auto to = static_cast<double>(next_ + static_cast<std::int64_t>(kBlock)) +
                    kPlaceAheadSeconds * frameRate_;
    const auto earliest = next_ + static_cast<std::int64_t>(std::ceil(halfEdge_));
    const auto nudge = roundFrames(kNudgeSeconds * frameRate_);
    const auto jump = roundFrames(kJumpSeconds * frameRate_);
    const auto catchUp = roundFrames(kCatchUpSeconds * frameRate_);
    bool chainWaits = false;
    for (std::size_t i = 0; i < count_; ++i) {
        Placed& p = marks_[i];
        if (p.placed || (p.mark.chained && chainWaits)) {
            continue;
        }
        const double planned = clock.frameAt(p.mark.start);
        if (planned - halfEdge_ >= to) {
            chainWaits = chainWaits || p.mark.chained;
            continue;
        }
        const std::int64_t target = roundFrames(planned);
        std::int64_t start = target;
        bool busy = false;
        if (p.mark.chained && chainKnown_) {
            const TimePoint keyedGap = p.mark.start - chainPlannedEnd_;
            busy = p.mark.gapBefore >= keyedGap;
            if (busy) {  // the keyer was busy: follow the sequence
                const std::int64_t kept = sequenceFrame(p.mark.start);
                // Where the stretch was to sound: as late as it began (a latency shorter than
                // the output's delay is no reason to hurry), no later.
                const std::int64_t aim = target + stretchLate_;
                // The pull goes into the gaps between characters; inside one the gaps are kept.
                const std::int64_t off = aim - kept;
                std::int64_t pull = 0;
                if (p.mark.startsCharacter) {
                    const std::int64_t gapShare =
                        roundFrames(seconds(p.mark.gapBefore) * frameRate_ / kCatchUpShare);
                    if (std::abs(off) <= kRoundingFrames) {
                        pull = off;  // within the rounding of frames: taken whole
                    } else if (off < -catchUp) {
                        pull = std::max(off, -gapShare);
                    } else {
                        pull = std::clamp(off / kNudgeShare, -nudge, nudge);
                    }
                }
                start = off > jump ? aim : kept + pull;
            } else {
                start = std::max(target,
                                 chainEnd_ + roundFrames(seconds(p.mark.gapBefore) * frameRate_));
            }
        }
        start = std::max(start, earliest);
        p.placed = true;
        p.start = start;
        p.shift = start - target;
        p.end = p.mark.end == kNever
                    ? kForever
                    : start + roundFrames(seconds(p.mark.end - p.mark.start) * frameRate_);
        if (p.mark.chained) {
            if (!busy) {
                stretchLate_ = std::max<std::int64_t>(p.shift, 0);
            }
            if (!chainKnown_ || start != sequenceFrame(p.mark.start)) {
                anchorFrame_ = start;
                anchorTime_ = p.mark.start;
            }
            chainEnd_ = p.end;
            chainPlannedEnd_ = p.mark.end;
            chainKnown_ = true;
            lateMarks_ += p.shift > frameRate_ / 1000 ? 1 : 0;
        }
    }
}

void Sidetone::render(std::span<std::int16_t> out, const FrameClock* clock, float gain) {
    clock_ = clock;
    std::size_t done = 0;
    while (done < out.size()) {
        const std::size_t frames = std::min(kBlock, out.size() - done);
        if (clock != nullptr) {
            place(*clock);
        }
        renderBlock(out.data() + done, frames, gain);
        done += frames;
    }
}

float Sidetone::ramp(double x) const {
    if (x <= -halfEdge_) {
        return 0;
    }
    if (x >= halfEdge_) {
        return 1;
    }
    return static_cast<float>(0.5 -
                              0.5 * std::cos(std::numbers::pi * (x + halfEdge_) / (2 * halfEdge_)));
}

void Sidetone::renderBlock(std::int16_t* out, std::size_t frames, float gain) {
    const std::int64_t from = next_;
    const std::int64_t to = next_ + static_cast<std::int64_t>(frames);

    std::array<float, kBlock> envelope{};
    for (std::size_t i = 0; i < count_; ++i) {
        Placed& p = marks_[i];
        if (!p.placed) {
            continue;
        }
        const auto lo = std::max(from, static_cast<std::int64_t>(std::ceil(p.start - halfEdge_)));
        const auto hi = p.end == kForever
                            ? to
                            : std::min(to, static_cast<std::int64_t>(std::ceil(p.end + halfEdge_)));
        if (lo >= hi) {
            continue;
        }
        if (p.gain < 0) {
            if (p.mark.startsCharacter) {
                characterGain_ = gain;
            }
            p.gain = characterGain_;
        }
        for (std::int64_t n = lo; n < hi; ++n) {
            const double down = p.end == kForever ? halfEdge_ : static_cast<double>(p.end - n);
            const float level = p.gain * ramp(static_cast<double>(n - p.start)) * ramp(down);
            float& e = envelope[static_cast<std::size_t>(n - from)];
            e = std::max(e, level);
        }
    }
    for (std::size_t i = count_; i > 0; --i) {
        const Placed& p = marks_[i - 1];
        if (p.placed && p.end != kForever && static_cast<double>(p.end) + halfEdge_ <= to) {
            remove(i - 1);
        }
    }

    const ToneLoop* tone = tone_;
    for (std::size_t k = 0; k < frames; ++k) {
        if (waiting_ != nullptr && envelope[k] == 0) {
            tone = tone_ = waiting_;  // a new pitch starts at a silent frame, from its loop's start
            waiting_ = nullptr;
            phase_ = 0;
        }
        const std::size_t length = tone != nullptr ? tone->sample.samples.size() : 0;
        const double step = tone != nullptr ? tone->playbackRate / frameRate_ : 0;
        if (length < 2 || !(step > 0 && step < 1e6)) {
            out[k] = 0;
            continue;
        }
        if (envelope[k] == 0) {
            out[k] = 0;
        } else {
            const std::vector<float>& samples = tone->sample.samples;
            const auto i = static_cast<std::size_t>(phase_);
            const double frac = phase_ - static_cast<double>(i);
            const float a = samples[i];
            const float b = samples[i + 1 < length ? i + 1 : 0];
            const double value = (a + frac * (b - a)) * envelope[k];
            out[k] = static_cast<std::int16_t>(
                std::lround(std::clamp(value * kFullScale, -kFullScale, kFullScale)));
        }
        phase_ += step;
        if (phase_ >= static_cast<double>(length)) {
            phase_ = std::fmod(phase_, static_cast<double>(length));
        }
    }
    next_ = to;
}

}  // namespace tone
