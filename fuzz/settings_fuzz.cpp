// Any settings file: reading it must not crash, must accept only values its controls can hold,
// and what it accepted must come back unchanged after a save and a new read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "shell/settings_codec.h"

namespace {

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const settings::Loaded l =
        settings::decode(std::string_view(reinterpret_cast<const char*>(data), size));
    require(!l.volume || (*l.volume >= -3000 && *l.volume <= 0));
    require(!l.speed || (*l.speed >= 5 && *l.speed <= 50));
    require(!l.soundDeviceIndex || (*l.soundDeviceIndex >= -32768 && *l.soundDeviceIndex <= 32767));
    require(!l.pitch || (*l.pitch >= 3000 && *l.pitch <= 8000));

    settings::Values v;
    v.applicationPort = l.applicationPort.value_or(v.applicationPort);
    v.keyerPort = l.keyerPort.value_or(v.keyerPort);
    v.volume = l.volume.value_or(v.volume);
    v.speed = l.speed.value_or(v.speed);
    v.latency = l.latency.value_or(v.latency);
    v.soundDeviceIndex = l.soundDeviceIndex.value_or(v.soundDeviceIndex);
    v.pitch = l.pitch.value_or(v.pitch);
    const settings::Loaded again = settings::decode(settings::encode(v));
    require(again.applicationPort == v.applicationPort && again.keyerPort == v.keyerPort &&
            again.volume == v.volume && again.speed == v.speed && again.latency == v.latency &&
            again.soundDeviceIndex == v.soundDeviceIndex && again.pitch == v.pitch);
    return 0;
}
