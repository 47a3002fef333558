// decimal_text.h - reading a decimal number the way the command line expects.
#pragma once

// Optional leading blanks and sign, then digits up to the first non-digit; 0 without digits.
// Values beyond the int range are clamped instead of overflowing.
int DecimalValue(const char* text);
