// Drives the monitor's queue consumer with any codes, latency and speed: it must never crash,
// never loop without end, and always finish a run once time moves on.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/number_text.h"
#include "tone/monitor.h"
#include "tone/sidetone.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // "latency|speed|volume|codes", each field as the operator could type it.
    const auto cut = [&](std::string_view& rest) {
        const std::size_t bar = rest.find('|');
        const std::string_view field = rest.substr(0, bar);
        rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
        return field;
    };
    std::string_view rest = input;
    const double latency = numbers::leadingNumber(cut(rest));
    const double speed = numbers::leadingNumber(cut(rest));
    const auto volume =
        static_cast<int>(numbers::roundToInt16(numbers::leadingNumber(cut(rest))).value_or(0));

    tone::Sidetone sidetone(48000);
    tone::Monitor monitor({[&] { return latency; }, [&] { return speed; }, [&] { return volume; }},
                          [&](const tone::PlayedCharacter& c) { sidetone.place(c, 0); });
    monitor.replaceQueue(std::string(rest.substr(0, rest.size() / 2)));
    std::chrono::nanoseconds now{0};
    std::int16_t out[64];
    for (int tick = 0; tick < 2000 && monitor.needsTicks(); ++tick) {
        now += std::chrono::seconds(1);  // a second a tick: the longest run ends within the loop
        monitor.tick(now);
        if (tick == 3) {
            monitor.appendToQueue(rest.substr(rest.size() / 2));
        }
        sidetone.render(out);
    }
    return 0;
}
