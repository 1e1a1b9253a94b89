// Stored messages keep each character's code in code page 936 lowered by a
// shift that depends on the character's position, so that the texts cannot
// be read or found in the program file.
#pragma once

#include "platform/window_system.h"

namespace corvantis {

// Turns a stored message into the text that is shown: the character at
// position i (from 1) moves up by (i mod 11) + 5 in code page 936, as a
// 16-bit sum. A character 936 cannot represent counts as "?"; a code that
// names no character gives U+FFFD. Positions keep counting past 32,767, so
// the shift keeps its 11-position cycle at any length. The result has as
// many characters as stored.
Text UnscrambleMessage(const Text& stored);

}  // namespace corvantis
