// Drives the monitor's keyer and the sidetone with any stream events, arrivals, hand-overs and
// renders: they must never crash, never hand over a mark that ends before it starts, and always
// come to rest once time moves on.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "tone/keyer_mirror.h"
#include "tone/sidetone_renderer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using keyer::StreamEvent;
    using std::chrono::milliseconds;
    tone::KeyerMirror mirror(28);
    tone::ToneLoop flat{{std::vector<float>(64, 1.0F), 24000}, 24000, 1};
    tone::SidetoneRenderer sidetone(48000);
    sidetone.offerTone(&flat);
    const std::optional<tone::FrameClock> clock = tone::FrameClock{tone::TimePoint{}, 0, 48000};
    std::vector<std::int16_t> out(480);
    tone::TimePoint now{};
    const auto hand = [&](tone::TimePoint horizon) {
        mirror.commitUntil(horizon);
        for (const tone::SidetoneCommand& c : mirror.takeCommands()) {
            if (c.kind == tone::SidetoneCommand::Kind::Mark && !(c.mark.end > c.mark.start)) {
                std::abort();
            }
            if (sidetone.canTake()) {
                sidetone.apply(c, clock);
            }
        }
    };
    // Four bytes a step: what happens, two parameters, and how far time moves (ms).
    for (std::size_t at = 0; at + 4 <= size; at += 4) {
        const std::uint8_t what = data[at];
        const std::uint8_t a = data[at + 1];
        const std::uint8_t b = data[at + 2];
        now += milliseconds(data[at + 3] * 4);
        if (what < 0xC0) {
            const auto kind = static_cast<StreamEvent::Kind>(what % 16);
            const StreamEvent e{kind, a, b};
            mirror.receive(std::span(&e, 1), now + milliseconds(a));
        } else if (what < 0xE0) {
            mirror.replaceWith("TEST", now, now + milliseconds(b));
        } else {
            hand(now + milliseconds(a * 8));
            sidetone.render(out, clock, 1, now);
        }
        mirror.forget(now);
    }
    // Everything keyed ends: at most 255 s of key-down or wait per event, and tune is let up.
    const StreamEvent up{StreamEvent::Kind::Tune, 0};
    mirror.receive(std::span(&up, 1), now);
    const tone::TimePoint end = now + std::chrono::hours(2) * (size / 4 + 1);
    hand(end);
    mirror.forget(end);
    if (mirror.busy(end)) {
        std::abort();
    }
    return 0;
}
