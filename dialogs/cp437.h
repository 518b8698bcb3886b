// Code page 437, the character set of DOS text files such as NFO files.
#pragma once

#include <QString>

#include <array>
#include <string>
#include <string_view>

// The character that code page 437 draws for each byte. 0x01-0x1F and 0x7F are the
// graphic characters (smileys, card suits, arrows, the house); 0x00 stays U+0000.
// Every character lies in the Basic Multilingual Plane.
const std::array<char16_t, 256>& Cp437Table();

// Turns DOS text (line breaks already CR LF) into display text: each CR LF, and any
// lone CR or LF, becomes one '\n', a TAB stays a tab, every other byte becomes its
// code page 437 character.
QString Cp437ToDisplayText(std::string_view bytes);

// CR LF stays; a CR not followed by LF and an LF not preceded by CR each become
// CR LF. So CR LF, lone CR and lone LF each end one line, and LF CR ends two.
std::string NormaliseLineBreaks(std::string_view bytes);
