#pragma once

#include <QRect>

namespace update {

// Window layouts are drawn up in twips; 15 twips make a pixel at 96 dots per inch.
constexpr int twips(int value) {
    return value / 15;
}

inline QRect twipsRect(int left, int top, int width, int height) {
    return {twips(left), twips(top), twips(width), twips(height)};
}

}  // namespace update
