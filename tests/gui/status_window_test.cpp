// The status window: lines, raw text and the spinner that turns in place.
#include "status_window.h"

#include <gtest/gtest.h>

#include "dialog_fixture.h"
#include "trace.h"

namespace {

TEST(GuiStatusWindow, TraceLinesAndRawText) {
  struct Step {
    const char* text;
    int level;  // TraceOut level: 0 a line, -1 raw
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
    const char* shown;  // the window's text, "\n" between lines
  };
  const Case cases[] = {
      {"lines", {{"one", 0}, {"two", 0}}, "one\ntwo\n"},
      {"spinner turns on its own line",
       {{"Connecting to device", 0}, {"\\\r", -1}, {"|\r", -1}, {"/\r", -1}},
       "Connecting to device\n/"},
      {"spinner line ended by a lone CR, then the next line",
       {{"Connecting to device", 0}, {"\\\r", -1}, {"-\r", -1}, {"\r", -1}, {"Connected", 0}},
       "Connecting to device\nConnected\n"},
      {"raw text appends unchanged",
       {{"A", -1}, {"T", -1}, {"\r\n", -1}, {"\n", -1}, {"OK", -1}},
       "AT\nOK"},
      {"empty raw text", {{"line", 0}, {"", -1}}, "line\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DialogFixture f;
    for (const Step& step : c.steps) TraceLine(step.text, 0, step.level);
    EXPECT_EQ(f.Status(), c.shown);
  }
}

TEST(GuiStatusWindow, OldestLinesGoBeyondTheCap) {
  StatusWindow window;
  for (int i = 0; i < kStatusLineCap + 5; ++i) window.AppendStatus(QString::number(i), false);
  const QString text = window.toPlainText();
  EXPECT_TRUE(text.startsWith(QString::number(6) + "\n")) << text.left(20).toStdString();
  EXPECT_TRUE(text.endsWith(QString::number(kStatusLineCap + 4) + "\n"));
  EXPECT_EQ(window.blockCount(), kStatusLineCap);
}

}  // namespace
