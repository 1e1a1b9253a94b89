#!/usr/bin/env python3
"""Prints the stored form of a message as a C++ definition.

The stored form is what UnscrambleMessage turns back into the message: the
character at position i (from 1) has the code page 936 code of the message's
character less (i mod 11) + 5, as a 16-bit difference. Fails, naming the
positions, when a stored code would name no character; reword the message
then (full-width "。" and "、" never fit, "，" only at some positions).

Usage: scramble_message.py NAME TEXT
"""

import sys

CODE_PAGE = "cp936"


def code_of(character):
    encoded = character.encode(CODE_PAGE)
    return int.from_bytes(encoded, "big")


def character_of(code):
    """The character whose 936 code is code, or None when none is."""
    encoded = code.to_bytes(1 if code <= 0xFF else 2, "big")
    try:
        decoded = encoded.decode(CODE_PAGE)
    except UnicodeDecodeError:
        return None
    return decoded if len(decoded) == 1 else None


def scramble(text):
    stored = []
    bad = []
    for position, character in enumerate(text, start=1):
        shift = position % 11 + 5
        code = (code_of(character) - shift) & 0xFFFF
        found = character_of(code)
        if found is None or code_of(found) != code:
            bad.append(f"{position} ({character})")
        stored.append(found)
    if bad:
        raise ValueError("no stored character at positions " + ", ".join(bad))
    return "".join(stored)


def cpp_definition(name, stored):
    # Every unit escaped: a stored message must not be readable in the source.
    units = [f"\\x{ord(c):04X}" for c in stored]
    lines = ['    u"' + "".join(units[i:i + 8]) + '"'
             for i in range(0, len(units), 8)]
    return (f"const char16_t {name}[] =\n" + "\n".join(lines) + ";")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    name, text = sys.argv[1], sys.argv[2]
    try:
        print(cpp_definition(name, scramble(text)))
    except ValueError as error:
        sys.exit(f"{name}: {error}")


if __name__ == "__main__":
    main()
