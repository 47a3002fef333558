#include "narrow_text.h"

QString FromNarrow(const char* text) {
  return text == nullptr ? QString() : QString::fromLatin1(text);
}

std::string ToNarrow(const QString& text) {
  std::string narrow;
  narrow.reserve(static_cast<std::size_t>(text.size()));
  for (const QChar c : text) {
    const char low = static_cast<char>(c.unicode() & 0xFF);
    if (low == '\0') break;  // the core's texts end at a NUL
    narrow.push_back(low);
  }
  return narrow;
}
