// text_matcher.h - finds an expected text in a stream of received bytes.
//
// PortWaitFor hands every received byte to a TextMatcher one at a time; the matcher says when
// the bytes seen so far end with the expected text. It keeps only its progress through the
// text (Knuth-Morris-Pratt), so chunk borders do not matter and a false start that overlaps
// the real text ("OOK\r\n" for "OK\r\n", "CONCONNECT" for "CONNECT") is still found.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace tarnwick {

class TextMatcher {
 public:
  explicit TextMatcher(std::string_view expected);

  // Takes the next byte; true when the bytes so far end with the expected text. An empty text
  // matches at once, without any byte.
  bool Feed(unsigned char byte);
  // Takes bytes in order up to the first match; the count taken (n when no match, 0 when the
  // text had been matched already).
  std::size_t Feed(const unsigned char* data, std::size_t n);
  // True once the expected text has been seen (stays true until Reset).
  bool Matched() const { return matched_; }
  // Forgets every byte seen.
  void Reset();

 private:
  std::vector<unsigned char> text_;
  std::vector<std::size_t> fallback_;  // longest proper border of text_[0..i]
  std::size_t progress_ = 0;           // bytes of text_ matched at the end of the input
  bool matched_ = false;
};

}  // namespace tarnwick
