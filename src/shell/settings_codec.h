#pragma once

#include <optional>
#include <string>
#include <string_view>

// The settings file: seven lines, each ended by CR LF, the meaning of a value given by its
// line number. Integers are written with a blank before a number that is not negative and a
// blank after every number (" 28 ", "-2000 "), the way the file has always looked.
namespace settings {

struct Values {
    std::string applicationPort = "1";  // line 1, text of Text1
    std::string keyerPort = "2";        // line 2, text of Text2
    int volume = -2000;                 // line 3, VScroll1 (0 .. -3000)
    int speed = 28;                     // line 4, VScroll2 (5 .. 50)
    std::string latency = "2";          // line 5, text of Text6
    int soundDeviceIndex = 0;           // line 6
    int pitch = 6000;                   // line 7, VScroll3 (3000 .. 8000)
};

// What a file gave: each field is set when its line was read and accepted. Reading stops at
// the first line that is missing, whose number does not fit 16 bits, or whose value lies
// outside its control's range; that line and all later ones are left unset.
struct Loaded {
    std::optional<std::string> applicationPort;
    std::optional<std::string> keyerPort;
    std::optional<int> volume;
    std::optional<int> speed;
    std::optional<std::string> latency;
    std::optional<int> soundDeviceIndex;
    std::optional<int> pitch;
};

std::string encode(const Values& values);
Loaded decode(std::string_view file);

}  // namespace settings
