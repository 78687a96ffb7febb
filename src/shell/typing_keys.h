#pragma once

#include <optional>

class QKeyEvent;

namespace shell {

// The byte a key pressed in the typing pane sends to the keyer, if any: a printable character
// in upper case (when its upper case is still one byte), Backspace as 0x08 and Esc as 0x0A,
// the keyer's clear-buffer byte. Nothing else is sent: not Delete, not the navigation keys, and
// no key held with Ctrl, Alt or Meta (a copy shortcut must not reach the keyer as a command
// byte); Ctrl and Alt together are AltGr, whose characters are sent.
std::optional<char> typedByte(const QKeyEvent& key);

}  // namespace shell
