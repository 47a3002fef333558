// The streaming matcher behind PortWaitFor, on tables of raw byte strings.
#include "text_matcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwick {
namespace {

struct MatchCase {
  const char* name;
  std::string expected;
  std::vector<std::string> chunks;  // the input, in the pieces it arrives in
  bool matched;
  std::size_t consumed;  // bytes taken up to the match (all of them without a match)
};

class TextMatcherTable : public testing::TestWithParam<MatchCase> {};

TEST_P(TextMatcherTable, FindsTextAcrossChunks) {
  const MatchCase& c = GetParam();
  TextMatcher matcher(c.expected);
  std::size_t consumed = 0;
  for (const std::string& chunk : c.chunks) {
    const auto* data = reinterpret_cast<const unsigned char*>(chunk.data());
    consumed += matcher.Feed(data, chunk.size());
    if (matcher.Matched()) break;
  }
  EXPECT_EQ(matcher.Matched(), c.matched);
  EXPECT_EQ(consumed, c.consumed);

  // Byte by byte gives the same answer as chunk by chunk.
  TextMatcher single(c.expected);
  std::string all;
  for (const std::string& chunk : c.chunks) all += chunk;
  std::size_t at = 0;
  while (at < all.size() && !single.Feed(static_cast<unsigned char>(all[at]))) ++at;
  EXPECT_EQ(single.Matched(), c.matched);
  if (c.matched && !c.expected.empty()) {
    EXPECT_EQ(at + 1, c.consumed);
  }
}

using std::string_literals::operator""s;

INSTANTIATE_TEST_SUITE_P(
    Bytes, TextMatcherTable,
    testing::Values(
        MatchCase{"Exact", "OK\r\n", {"OK\r\n"}, true, 4},
        MatchCase{"AfterEchoAndRest", "OK\r\n", {"AT\r\r\nOK\r\nMORE"}, true, 9},
        MatchCase{"SplitEveryByte", "OK\r\n", {"O", "K", "\r", "\n"}, true, 4},
        MatchCase{"SplitInsideText", "CONNECT", {"xxCON", "NE", "CTyy"}, true, 9},
        MatchCase{"DoubledFirstByte", "OK\r\n", {"OOK\r\n"}, true, 5},
        MatchCase{"RestartAfterCarriageReturn", "OK\r\n", {"OK\rOK\r\n"}, true, 7},
        MatchCase{"RepeatedPrefix", "CONNECT", {"CONCONNECT"}, true, 10},
        MatchCase{"SelfOverlap", "AAAB", {"AA", "AAAB"}, true, 6},
        MatchCase{"BorderFallback", "ABABC", {"ABABABC"}, true, 7},
        MatchCase{"Incomplete", "OK\r\n", {"OK\r"}, false, 3},
        MatchCase{"InterruptedText", "OK\r\n", {"O K\r\n", "OK\n"}, false, 8},
        MatchCase{"CaseMatters", "OK\r\n", {"ok\r\n"}, false, 4},
        MatchCase{"NoInput", "OK\r\n", {}, false, 0},
        MatchCase{"EmptyTextMatchesAtOnce", "", {"anything"}, true, 0},
        MatchCase{"HighAndNulBytes", "\xff\x00\x80"s, {"\xff\xff"s, "\x00\x80"s}, true, 4}),
    [](const testing::TestParamInfo<MatchCase>& param) { return param.param.name; });

TEST(TextMatcher, StaysMatchedUntilReset) {
  TextMatcher matcher("OK");
  EXPECT_TRUE(matcher.Feed('O') == false && matcher.Feed('K'));
  EXPECT_TRUE(matcher.Feed('x'));  // a later byte does not undo the match
  matcher.Reset();
  EXPECT_FALSE(matcher.Matched());
  EXPECT_FALSE(matcher.Feed('K'));  // the 'O' before the reset is forgotten
}

}  // namespace
}  // namespace tarnwick
