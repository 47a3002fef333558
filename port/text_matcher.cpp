// text_matcher.cpp - streaming search for an expected text (Knuth-Morris-Pratt).
#include "text_matcher.h"

namespace tarnwick {

TextMatcher::TextMatcher(std::string_view expected)
    : text_(expected.begin(), expected.end()), fallback_(expected.size(), 0) {
  // fallback_[i]: length of the longest proper prefix of text_[0..i] that is also its suffix.
  std::size_t k = 0;
  for (std::size_t i = 1; i < text_.size(); ++i) {
    while (k > 0 && text_[i] != text_[k]) k = fallback_[k - 1];
    if (text_[i] == text_[k]) ++k;
    fallback_[i] = k;
  }
  matched_ = text_.empty();
}

bool TextMatcher::Feed(unsigned char byte) {
  if (matched_) return true;
  while (progress_ > 0 && byte != text_[progress_]) progress_ = fallback_[progress_ - 1];
  if (byte == text_[progress_]) ++progress_;
  if (progress_ == text_.size()) matched_ = true;
  return matched_;
}

std::size_t TextMatcher::Feed(const unsigned char* data, std::size_t n) {
  if (matched_) return 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (Feed(data[i])) return i + 1;
  }
  return n;
}

void TextMatcher::Reset() {
  progress_ = 0;
  matched_ = text_.empty();
}

}  // namespace tarnwick
