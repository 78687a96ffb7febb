#include "tone/sidetone_renderer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tone {

void SidetoneRenderer::restart(int frameRate, std::int64_t heardUntil) {
    for (std::size_t i = count_; i > 0; --i) {
        if (begun(marks_[i - 1], heardUntil)) {
            remove(i - 1);
        } else {
            marks_[i - 1].placed = false;
        }
    }
    frameRate_ = frameRate > 0 ? frameRate : 48000;
    halfEdge_ = kEdgeSeconds * frameRate_ / 2;
    next_ = 0;
    placer_.restart(frameRate_);
}

// Whether a mark's first ramp had begun by frame `by`.
bool SidetoneRenderer::begun(const Placed& p, std::int64_t by) const {
    return p.placed && static_cast<double>(p.start) - halfEdge_ < static_cast<double>(by);
}

void SidetoneRenderer::remove(std::size_t index) {
    std::move(marks_.begin() + static_cast<std::ptrdiff_t>(index + 1),
              marks_.begin() + static_cast<std::ptrdiff_t>(count_),
              marks_.begin() + static_cast<std::ptrdiff_t>(index));
    --count_;
}

void SidetoneRenderer::apply(const SidetoneCommand& command,
                             const std::optional<FrameClock>& clock) {
    const KeyMark& m = command.mark;
    switch (command.kind) {
        case SidetoneCommand::Kind::Mark:
            if (count_ < kCapacity && m.end > m.start) {
                marks_[count_++] = Placed{m};
            }
            return;
        case SidetoneCommand::Kind::EndMark:
            for (std::size_t i = 0; i < count_; ++i) {
                Placed& p = marks_[i];
                if (p.mark.id == m.id) {
                    endAt(p, m.end, clock);
                    if (p.placed ? p.end <= p.start : p.mark.end <= p.mark.start) {
                        remove(i);
                    }
                    return;
                }
            }
            return;
        case SidetoneCommand::Kind::CutFrom: {
            for (std::size_t i = count_; i > 0; --i) {
                Placed& p = marks_[i - 1];
                if (p.mark.start >= m.start && !begun(p, next_)) {
                    remove(i - 1);
                } else if (p.mark.end > m.start) {
                    endAt(p, std::max(p.mark.start, m.start), clock);
                }
            }
            // Without a clock the cut is taken as now: nothing of the sequence sounds later.
            placer_.cutAt(clock ? std::llround(clock->frameAt(m.start))
                                : next_ + static_cast<std::int64_t>(std::ceil(halfEdge_)));
            return;
        }
    }
}

// Ends a mark at `at` on the timeline (as late as the mark itself was placed), or as soon as a
// clean edge still can when that has passed.
void SidetoneRenderer::endAt(Placed& p, TimePoint at, const std::optional<FrameClock>& clock) {
    p.mark.end = std::min(p.mark.end, at);
    if (!p.placed) {
        return;
    }
    std::int64_t end = clock ? std::llround(clock->frameAt(at)) + p.shift : p.start;
    if (begun(p, next_)) {
        end = std::max(end, next_ + static_cast<std::int64_t>(std::ceil(halfEdge_)));
    }
    p.end = std::min(p.end, std::max(end, p.start));
}

// Places the marks whose first ramp begins before the block after the next one, in the order
// they were handed over: a mark of the keyer's sequence waits for the one before it.
void SidetoneRenderer::place(const FrameClock& clock, TimePoint now) {
    const double to = static_cast<double>(next_ + static_cast<std::int64_t>(kBlock)) +
                      kPlaceAheadSeconds * frameRate_;
    const auto earliest = next_ + static_cast<std::int64_t>(std::ceil(halfEdge_));
    bool sequenceWaits = false;
    for (std::size_t i = 0; i < count_; ++i) {
        Placed& p = marks_[i];
        if (p.placed || (p.mark.inSequence && sequenceWaits)) {
            continue;
        }
        if (clock.frameAt(p.mark.start) - halfEdge_ >= to) {
            sequenceWaits = sequenceWaits || p.mark.inSequence;
            continue;
        }
        const std::int64_t waited =
            p.waitingSince ? framesIn(now - *p.waitingSince, frameRate_) : 0;
        const MarkPlacer::Placement placement = placer_.place(p.mark, clock, earliest, waited);
        p.placed = true;
        p.start = placement.start;
        p.end = placement.end;
        p.shift = placement.shift;
    }
}

void SidetoneRenderer::render(std::span<std::int16_t> out, const std::optional<FrameClock>& clock,
                              float gain, TimePoint now) {
    if (!clock) {
        // A stream that has just started or resumed, or a reading in doubt: what is waiting now
        // is late by the wait, not by its hand-over.
        for (std::size_t i = 0; i < count_; ++i) {
            Placed& p = marks_[i];
            if (!p.placed && !p.waitingSince) {
                p.waitingSince = now;
            }
        }
    }
    std::size_t done = 0;
    while (done < out.size()) {
        const std::size_t frames = std::min(kBlock, out.size() - done);
        if (clock) {
            place(*clock, now);
        }
        renderBlock(out.data() + done, frames, gain);
        done += frames;
    }
}

float SidetoneRenderer::ramp(double x) const {
    if (x <= -halfEdge_) {
        return 0;
    }
    if (x >= halfEdge_) {
        return 1;
    }
    return static_cast<float>(0.5 -
                              0.5 * std::cos(std::numbers::pi * (x + halfEdge_) / (2 * halfEdge_)));
}

void SidetoneRenderer::renderBlock(std::int16_t* out, std::size_t frames, float gain) {
    const std::int64_t from = next_;
    const std::int64_t to = next_ + static_cast<std::int64_t>(frames);
    std::array<float, kBlock> envelope{};
    for (std::size_t i = 0; i < count_; ++i) {
        Placed& p = marks_[i];
        if (!p.placed) {
            continue;
        }
        const auto lo = std::max(from, static_cast<std::int64_t>(std::ceil(p.start - halfEdge_)));
        const auto hi = std::min(to, static_cast<std::int64_t>(std::ceil(p.end + halfEdge_)));
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
            const float level = p.gain * ramp(static_cast<double>(n - p.start)) *
                                ramp(static_cast<double>(p.end - n));
            float& e = envelope[static_cast<std::size_t>(n - from)];
            e = std::max(e, level);
        }
    }
    for (std::size_t i = count_; i > 0; --i) {
        const Placed& p = marks_[i - 1];
        if (p.placed && static_cast<double>(p.end) + halfEdge_ <= static_cast<double>(to)) {
            remove(i - 1);
        }
    }
    oscillator_.render(std::span(out, frames), std::span(envelope.data(), frames), frameRate_);
    next_ = to;
}

}  // namespace tone
