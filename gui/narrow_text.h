// narrow_text.h - between the core's 8-bit texts and the window's text.
//
// Each byte of a core text is the character with that code (0-255), and back each character
// gives the low 8 bits of its code, so a text survives the round trip byte for byte.
#pragma once

#include <QString>
#include <string>

QString FromNarrow(const char* text);
std::string ToNarrow(const QString& text);
