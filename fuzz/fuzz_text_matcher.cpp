// fuzz_text_matcher - the wait-for matcher of the serial library against a plain search.
//
// Input: one byte n, then n % 24 bytes of expected text, then one byte choosing where the
// stream is cut into two chunks, then the received stream. The matcher must report the same
// end of the first occurrence as a naive search, whether the stream is fed byte by byte or in
// the two chunks, and must stay matched until Reset.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "text_matcher.h"

namespace {

// Bytes up to and including the end of the first occurrence of text; 0 for an empty text,
// size + 1 when it does not occur.
std::size_t NaiveEnd(std::string_view text, std::string_view stream) {
  if (text.empty()) return 0;
  const std::size_t at = stream.find(text);
  return at == std::string_view::npos ? stream.size() + 1 : at + text.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::size_t textSize = data[0] % 24u;
  if (size < 2 + textSize) return 0;
  const char* bytes = reinterpret_cast<const char*>(data);
  const std::string_view text(bytes + 1, textSize);
  const std::size_t cutChoice = data[1 + textSize];
  const std::string_view stream(bytes + 2 + textSize, size - 2 - textSize);
  const std::size_t expected = NaiveEnd(text, stream);

  // Byte by byte.
  tarnwick::TextMatcher single(text);
  std::size_t found = text.empty() ? 0 : stream.size() + 1;
  for (std::size_t i = 0; i < stream.size() && found == stream.size() + 1; ++i) {
    if (single.Feed(static_cast<unsigned char>(stream[i]))) found = i + 1;
  }
  if (found != expected) std::abort();
  if (single.Matched() != (expected <= stream.size())) std::abort();

  // In two chunks, the counts of Feed(data, n) adding up.
  tarnwick::TextMatcher chunked(text);
  const std::size_t cut = stream.empty() ? 0 : cutChoice % (stream.size() + 1);
  const auto* raw = reinterpret_cast<const unsigned char*>(stream.data());
  std::size_t taken = chunked.Feed(raw, cut);
  std::size_t end = stream.size() + 1;
  if (chunked.Matched()) {
    end = text.empty() ? 0 : taken;
  } else {
    const std::size_t more = chunked.Feed(raw + cut, stream.size() - cut);
    if (chunked.Matched()) end = cut + more;
  }
  if (end != expected) std::abort();

  // A matched matcher stays matched and takes nothing more; Reset forgets everything.
  if (chunked.Matched()) {
    if (!chunked.Feed('x') || chunked.Feed(raw, stream.size()) != 0) std::abort();
  }
  chunked.Reset();
  if (chunked.Matched() != text.empty()) std::abort();
  return 0;
}
