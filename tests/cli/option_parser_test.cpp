// Command-line options: what each word records, and the message of every rejection.
#include "option_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapter_settings.h"
#include "console_entry.h"
#include "core_fixture.h"
#include "exit_status.h"
#include "front_end.h"
#include "link_state.h"
#include "status_codes.h"

namespace {

using OptionParserTest = tarnwick::test::CoreRecordsTest;

TEST_F(OptionParserTest, EnumeratedOptionsChooseTheMatchingValue) {
  struct Case {
    const char* word;
    int row;
    int index;
  };
  for (const Case& c :
       {Case{"-l38400", ROW_L, 2}, Case{"-l9600", ROW_L, 1}, Case{"-l1200", ROW_L, 6},
        Case{"-l230400", ROW_L, 8}, Case{"-mEven", ROW_M, 2}, Case{"-meven", ROW_M, 2},
        Case{"-mEVEN", ROW_M, 2}, Case{"-mnone", ROW_M, 0}, Case{"-kTwo", ROW_K, 1},
        Case{"-cenabled", ROW_C, 1}, Case{"-xdisabled", ROW_X, 0}, Case{"-oenabled", ROW_O, 0},
        Case{"-odisabled", ROW_O, 1}, Case{"-rmaster", ROW_R, 0}, Case{"-rSLAVE", ROW_R, 1}}) {
    ResetAdapterSettings();
    EXPECT_EQ(ParseOption(c.word), LINK_OK) << c.word;
    EXPECT_EQ(AdapterSettings[c.row].current, c.index) << c.word;
    EXPECT_TRUE(IsSettingChosen(c.row)) << c.word;
  }
  EXPECT_TRUE(output.Lines().empty());
}

TEST_F(OptionParserTest, TextOptionsAreStoredAsWritten) {
  EXPECT_EQ(ParseOption("-d004362344333"), LINK_OK);
  EXPECT_EQ(ParseOption("-dABCDEFabcdef"), LINK_OK);
  EXPECT_EQ(std::string(remoteCommand), "D=ABCDEFabcdef");
  EXPECT_EQ(AdapterSettings[ROW_D].current, 0);
  EXPECT_EQ(ParseOption("-nSixteen chars 16"), LINK_OK);
  EXPECT_EQ(std::string(nameCommand), "N=Sixteen chars 16");
  EXPECT_EQ(ParseOption("-pabcd"), LINK_OK);
  EXPECT_EQ(std::string(pinCommand), "P=abcd");
  EXPECT_EQ(ParseOption("-p12345678"), LINK_OK);
  EXPECT_EQ(std::string(pinCommand), "P=12345678");
  for (int row : {ROW_D, ROW_N, ROW_P}) EXPECT_TRUE(IsSettingChosen(row));
  EXPECT_TRUE(output.Lines().empty());
}

TEST_F(OptionParserTest, InvalidOptionsReportTheirMessage) {
  struct Case {
    const char* word;
    const char* message;
  };
  for (const Case& c : {
           Case{"-l23040", "Invalid Baudrate"},
           Case{"-lBAUD", "Invalid Baudrate"},
           Case{"-l", "Invalid Baudrate"},
           Case{"-mmark", "Invalid Parity"},
           Case{"-xdisbled", "Invalid Escape Mode"},
           Case{"-kthree", "Invalid Stopbit"},
           Case{"-cmaybe", "Invalid Flow control"},
           Case{"-oon", "Invalid Autoconnect"},
           Case{"-r", "Invalid Role"},
           Case{"-d00436234433", "Remote address must be 12 characters)"},
           Case{"-d0043623443331", "Remote address must be 12 characters)"},
           Case{"-d00436234433G", "Remote address must be 12 hexadecimal digits)"},
           Case{"-n", "Invalid Name (Must be 1-16 characters)"},
           Case{"-n12345678901234567", "Invalid Name (Must be 1-16 characters)"},
           Case{"-p123", "Invalid PIN (Must be 4-8 characters)"},
           Case{"-p123456789", "Invalid PIN (Must be 4-8 characters)"},
           Case{"-L9600", "Invalid Argument"},
           Case{"-q1", "Invalid Argument"},
           Case{"-", "Invalid Argument"},
       }) {
    output.Clear();
    EXPECT_EQ(ParseOption(c.word), TRACE_REJECTED_INPUT) << c.word;
    EXPECT_EQ(output.Lines(), std::vector<std::string>{c.message}) << c.word;
  }
}

TEST_F(OptionParserTest, DebugLevelReadsALeadingDecimalNumber) {
  struct Case {
    const char* word;
    int level;
  };
  for (const Case& c : {Case{"-z5", 5}, Case{"-z10", 10}, Case{"-z", 0}, Case{"-zabc", 0},
                        Case{"-z 7x", 7}, Case{"-z-3", -3}, Case{"-z99999999999", 2147483647}}) {
    EXPECT_EQ(ParseOption(c.word), LINK_OK) << c.word;
    EXPECT_EQ(LinkState.debugLevel, c.level) << c.word;
  }
}

TEST_F(OptionParserTest, TheLastOptionForARowWins) {
  ParseOption("-l9600");
  ParseOption("-l19200");
  EXPECT_EQ(AdapterSettings[ROW_L].current, 0);
}

TEST(ExitStatusTest, FoldKeepsTheByteThatTellsTheCause) {
  struct Case {
    int32_t status;
    int exitStatus;
  };
  for (const Case& c : {Case{0, 0}, Case{1, 1}, Case{LINK_NO_ADAPTER, 2},
                        Case{TRACE_REJECTED_INPUT, 2}, Case{0x10002, 2}, Case{0x1000D, 13},
                        Case{LINK_FAILED, 3}, Case{STORE_NO_FOLDER, 4}, Case{LINK_ABORTED, 128}}) {
    EXPECT_EQ(FoldExitStatus(c.status), c.exitStatus) << std::hex << c.status;
  }
}

TEST(BannerNameTest, DropsTheDirectoryAndEverythingFromTheFirstDot) {
  struct Case {
    const char* invokedAs;
    const char* name;
  };
  for (const Case& c :
       {Case{"C:\\tools\\TarnwickCL.exe", "TarnwickCL"}, Case{"a.b.exe", "a"},
        Case{"./build/bin/TarnwickCL", "TarnwickCL"}, Case{"/usr/bin/TarnwickCL", "TarnwickCL"},
        Case{"D:TarnwickCL", "TarnwickCL"}, Case{"\\TarnwickCL", "\\TarnwickCL"},
        Case{"TarnwickCL", "TarnwickCL"}}) {
    EXPECT_EQ(BannerName(c.invokedAs), c.name) << c.invokedAs;
  }
}

}  // namespace
