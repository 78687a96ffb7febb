#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

// When the key goes down and up for one character.
namespace tone {

// One key-down stretch, in seconds from the start of its character.
struct Mark {
    double start = 0;
    double length = 0;
    bool operator==(const Mark&) const = default;
};

// The longest pattern of the table has six elements.
inline constexpr std::size_t kMaxMarks = 6;

struct CharacterSchedule {
    std::array<Mark, kMaxMarks> marks{};
    std::size_t markCount = 0;
    double duration = 0;  // the whole character, closing gap included
    bool operator==(const CharacterSchedule&) const = default;
};

// The length of one unit at `wpm` words per minute: 1000 x 0.00046 s over wpm / 2.5, which is
// 1.15 / wpm. nullopt when the speed cannot time a character: not a positive number, or so slow
// that a unit would last longer than a minute.
std::optional<double> unitSeconds(double wpm);

// A dah keys 3 units, a dit 1, each followed by 1 unit up; a word space is 2 units up; every
// character ends with 2 units up. The empty pattern is just those 2 units. nullopt when the
// speed cannot time it (see unitSeconds).
std::optional<CharacterSchedule> scheduleCharacter(std::string_view pattern, double wpm);

}  // namespace tone
