// The settings table: value lookup by label, decoding of status replies, command buffers.
#include "adapter_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core_fixture.h"
#include "front_end.h"
#include "link_state.h"

namespace {

using AdapterSettingsTest = tarnwick::test::CoreRecordsTest;

TEST_F(AdapterSettingsTest, EnumeratedRepliesDecodeByTheSecondCharacterOfTheCode) {
  struct Case {
    int row;
    const char* reply;
    int index;
  };
  for (const Case& c :
       {Case{ROW_L, "#", 7}, Case{ROW_L, "*", 6}, Case{ROW_L, "0", 5}, Case{ROW_L, "2", 0},
        Case{ROW_L, "6", 8}, Case{ROW_L, "5x", 4}, Case{ROW_L, "7", -1}, Case{ROW_L, "", -1},
        Case{ROW_R, "0", 0}, Case{ROW_R, "3", -1}, Case{ROW_O, "0", 0}, Case{ROW_M, "2", 2}}) {
    EXPECT_EQ(DecodeEnumReply(c.row, c.reply), c.index) << c.row << " '" << c.reply << "'";
  }
}

TEST_F(AdapterSettingsTest, FindSettingValueIgnoresCaseAndTracesAMiss) {
  EXPECT_EQ(FindSettingValue(ROW_L, "115200"), 4);
  EXPECT_EQ(FindSettingValue(ROW_M, "even"), 2);
  EXPECT_EQ(FindSettingValue(ROW_K, "TWO"), 1);
  EXPECT_TRUE(output.Lines().empty());

  EXPECT_EQ(FindSettingValue(ROW_K, "three"), -1);
  EXPECT_EQ(FindSettingValue(ROW_M, "NONE "), -1);
  EXPECT_EQ(output.Lines(), (std::vector<std::string>{"Invalid: Stopbits: ", "Invalid: Parity: "}));
}

TEST_F(AdapterSettingsTest, InitialTableMatchesTheAdapterCommandSet) {
  std::string letters;
  for (const AdapterSetting& row : AdapterSettings) letters += row.letter;
  EXPECT_EQ(letters, "IRBCDEFHAKLMNOPQX");
  EXPECT_EQ(AdapterSettings[ROW_L].values[0].code, std::string("L2"));
  EXPECT_EQ(AdapterSettings[ROW_L].values[8].label, std::string("230400"));
  EXPECT_EQ(AdapterSettings[ROW_O].values[0].label, std::string("Enabled"));
  EXPECT_EQ(AdapterSettings[ROW_X].values[0].label, std::string("Disabled"));
  EXPECT_EQ(AdapterSettings[ROW_D].values[0].code, std::string("D="));
  EXPECT_EQ(AdapterSettings[ROW_N].values[0].code, std::string("N="));
  EXPECT_EQ(AdapterSettings[ROW_P].values[0].code, std::string("P="));
  EXPECT_EQ(BaudRateAt(4), 115200);
  for (const AdapterSetting& row : AdapterSettings) EXPECT_FALSE(row.flags & SETTING_CHOSEN);
}

TEST_F(AdapterSettingsTest, TextValuesFollowTheirPrefixWithinTheBuffer) {
  ChooseSettingText(ROW_N, "0123456789ABCDEF");  // 16 characters: the longest name
  EXPECT_EQ(std::string(nameCommand), "N=0123456789ABCDEF");
  EXPECT_TRUE(IsSettingChosen(ROW_N));

  ChooseSettingText(ROW_P, "a much too long PIN text");
  EXPECT_EQ(std::string(pinCommand).size(), kPinCommandSize - 1);
  EXPECT_EQ(std::string(pinCommand).substr(0, 2), "P=");

  ResetAdapterSettings();
  EXPECT_EQ(std::string(nameCommand), "N=");
  EXPECT_FALSE(IsSettingChosen(ROW_N));
}

}  // namespace
