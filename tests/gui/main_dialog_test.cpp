// The main dialog on its own: what it shows on opening, and how its controls write the
// settings table and the debug level.
#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <cstring>

#include "adapter_settings.h"
#include "dialog_fixture.h"
#include "link_state.h"

namespace {

TEST(GuiMainDialog, OnOpening) {
  DialogFixture f;
  auto* com = f.Control<QComboBox>(IDC_COM_PORT);
  ASSERT_NE(com, nullptr);
  EXPECT_EQ(com->count(), 255);
  EXPECT_EQ(com->itemText(0), "COM1");
  EXPECT_EQ(com->itemText(254), "COM255");
  EXPECT_EQ(com->currentText(), "COM1");
  EXPECT_TRUE(f.SelectedRadios().isEmpty());
  EXPECT_FALSE(f.Control<QCheckBox>(IDC_DEBUG)->isChecked());
  for (int id : {IDC_NAME, IDC_PIN, IDC_LOCAL_ADDRESS, IDC_REMOTE_ADDRESS}) {
    EXPECT_TRUE(f.Edit(id)->text().isEmpty()) << id;
  }
  EXPECT_TRUE(f.Edit(IDC_LOCAL_ADDRESS)->isReadOnly());
  EXPECT_TRUE(f.Control<QLabel>(IDC_VERSION)->text().isEmpty());
  EXPECT_TRUE(f.Status().isEmpty());
  EXPECT_EQ(f.Button(IDC_EXIT)->text(), "Exit");
  EXPECT_EQ(f.dialog->windowTitle(), "Configuration Software KX208");
  EXPECT_FALSE(f.dialog->windowIcon().isNull());
  EXPECT_EQ(f.dialog->m_port, -1);
  EXPECT_EQ(f.dialog->m_busy, 0);
  EXPECT_EQ(LinkState.mainDialog, f.dialog.get());
  // Radio buttons take no part in tabbing; the other controls do.
  for (int id : AllRadioIds()) {
    EXPECT_FALSE(f.Radio(id)->focusPolicy() & Qt::TabFocus) << id;
  }
  for (int id : {IDC_GET_INFO, IDC_PROGRAM, IDC_PAIR, IDC_RESET, IDC_MULTIPAIR, IDC_CONNECT,
                 IDC_DISCONNECT, IDC_EXIT}) {
    ASSERT_NE(f.Button(id), nullptr) << id;
    EXPECT_TRUE(f.Button(id)->focusPolicy() & Qt::TabFocus) << id;
  }
  EXPECT_EQ(AllRadioIds().size(), 24);
}

TEST(GuiMainDialog, SelectingOneButtonClearsOnlyItsGroup) {
  DialogFixture f;
  QTest::mouseClick(f.Radio(1040), Qt::LeftButton);  // Escape: Enabled
  QTest::mouseClick(f.Radio(1075), Qt::LeftButton);  // 9600
  EXPECT_EQ(AdapterSettings[ROW_L].current, 1);
  QTest::mouseClick(f.Radio(1080), Qt::LeftButton);  // 1200
  EXPECT_EQ(f.SelectedRadios(), (QList<int>{1040, 1080}));
  EXPECT_EQ(AdapterSettings[ROW_L].current, 6);
  EXPECT_TRUE(IsSettingChosen(ROW_L));
  EXPECT_EQ(AdapterSettings[ROW_X].current, 1);
  // A click on the selected button keeps it selected and records it again.
  QTest::mouseClick(f.Radio(1080), Qt::LeftButton);
  EXPECT_TRUE(f.Radio(1080)->isChecked());
  EXPECT_EQ(AdapterSettings[ROW_L].current, 6);
  EXPECT_FALSE(IsSettingChosen(ROW_M));
}

TEST(GuiMainDialog, EveryRadioButtonStandsForItsValue) {
  struct Case {
    int id;
    int row;
    int index;
    const char* label;  // the row's value label, ignoring case
  };
  const Case cases[] = {
      {1074, ROW_L, 0, "19200"},
      {1075, ROW_L, 1, "9600"},
      {1076, ROW_L, 2, "38400"},
      {1077, ROW_L, 3, "57600"},
      {1078, ROW_L, 4, "115200"},
      {1079, ROW_L, 5, "4800"},
      {1080, ROW_L, 6, "1200"},
      {1081, ROW_L, 7, "2400"},
      {1082, ROW_L, 8, "230400"},
      {1020, ROW_M, 0, "NONE"},
      {1021, ROW_M, 1, "ODD"},
      {1022, ROW_M, 2, "EVEN"},
      {1023, ROW_K, 0, "One"},
      {1024, ROW_K, 1, "Two"},
      {1018, ROW_C, 0, "Disabled"},
      {1019, ROW_C, 1, "Enabled"},
      {1029, ROW_R, 0, "Master"},
      {1030, ROW_R, 1, "Slave"},
      {1027, ROW_O, 0, "Enabled"},
      {1028, ROW_O, 1, "Disabled"},
      {1025, ROW_H, 0, "Non-discoverable"},
      {1026, ROW_H, 1, "Discoverable"},
      {1039, ROW_X, 0, "Disabled"},
      {1040, ROW_X, 1, "Enabled"},
  };
  DialogFixture f;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    ClearAllSettingsChosen();
    QTest::mouseClick(f.Radio(c.id), Qt::LeftButton);
    EXPECT_EQ(AdapterSettings[c.row].current, c.index);
    EXPECT_TRUE(IsSettingChosen(c.row));
    EXPECT_STRCASEEQ(AdapterSettings[c.row].values[c.index].label, c.label);
    for (int row = 0; row < kSettingRows; ++row) {
      if (row != c.row) {
        EXPECT_FALSE(IsSettingChosen(row)) << row;
      }
    }
  }
}

TEST(GuiMainDialog, EditChangesWriteTheCommandBuffers) {
  DialogFixture f;
  QTest::keyClicks(f.Edit(IDC_NAME), "Slave01");
  QTest::keyClicks(f.Edit(IDC_PIN), "ab12");
  QTest::keyClicks(f.Edit(IDC_REMOTE_ADDRESS), "00:12:6F");
  EXPECT_STREQ(nameCommand, "N=Slave01");
  EXPECT_STREQ(pinCommand, "P=ab12");
  EXPECT_STREQ(remoteCommand, "D=00:12:6F");  // nothing filtered
  EXPECT_TRUE(IsSettingChosen(ROW_N));
  EXPECT_TRUE(IsSettingChosen(ROW_P));
  EXPECT_TRUE(IsSettingChosen(ROW_D));
  // Typing stops at the box limits (16, 8, 12), so the buffers always hold the box text.
  QTest::keyClicks(f.Edit(IDC_NAME), "-Adapter-Number-7");
  QTest::keyClicks(f.Edit(IDC_PIN), "345678");
  QTest::keyClicks(f.Edit(IDC_REMOTE_ADDRESS), "00AB34FFFF");
  EXPECT_EQ(f.Edit(IDC_NAME)->text(), "Slave01-Adapter-");
  EXPECT_STREQ(nameCommand, "N=Slave01-Adapter-");
  EXPECT_EQ(f.Edit(IDC_PIN)->text(), "ab123456");
  EXPECT_STREQ(pinCommand, "P=ab123456");
  EXPECT_EQ(f.Edit(IDC_REMOTE_ADDRESS)->text(), "00:12:6F00AB");
  // Clearing a box empties its buffer and keeps the row chosen.
  f.Edit(IDC_NAME)->clear();
  EXPECT_STREQ(nameCommand, "N=");
  EXPECT_TRUE(IsSettingChosen(ROW_N));
}

TEST(GuiMainDialog, DebugBoxSetsTheDebugLevel) {
  DialogFixture f;
  auto* debug = f.Control<QCheckBox>(IDC_DEBUG);
  QTest::mouseClick(debug, Qt::LeftButton);
  EXPECT_EQ(LinkState.debugLevel, 10);
  QTest::mouseClick(debug, Qt::LeftButton);
  EXPECT_EQ(LinkState.debugLevel, 0);
}

TEST(GuiMainDialog, ShowSettingFillsGroupsAndMembers) {
  DialogFixture f;
  f.dialog->ShowSetting(4, ROW_L);
  f.dialog->ShowSetting(1, ROW_M);
  EXPECT_EQ(f.SelectedRadios(), (QList<int>{1021, 1078}));
  f.dialog->ShowSetting(0, ROW_L);
  EXPECT_EQ(f.SelectedRadios(), (QList<int>{1021, 1074}));
  // An index past the group (the reply named no value) clears the whole group.
  f.dialog->ShowSetting(3, ROW_M);
  EXPECT_EQ(f.SelectedRadios(), (QList<int>{1074}));
  // Rows without a group show nothing; the table's choices stay untouched.
  f.dialog->ShowSetting(1, ROW_E);
  f.dialog->ShowSetting(0, ROW_Q);
  EXPECT_EQ(f.SelectedRadios(), (QList<int>{1074}));
  for (int row = 0; row < kSettingRows; ++row) EXPECT_FALSE(IsSettingChosen(row)) << row;

  // Addresses keep their hexadecimal digits only.
  std::strcpy(LinkState.reply, "00:43-62 34.43 3g3");
  f.dialog->ShowSetting(0, ROW_B);
  EXPECT_EQ(f.dialog->m_localAddress, "004362344333");
  std::strcpy(LinkState.reply, "0012,6f00,ab34");
  f.dialog->ShowSetting(0, ROW_D);
  EXPECT_EQ(f.dialog->m_remoteAddress, "00126f00ab34");
  std::strcpy(LinkState.reply, "BT-RS232 ver v4.22");
  f.dialog->ShowSetting(0, ROW_I);
  EXPECT_EQ(f.Control<QLabel>(IDC_VERSION)->text(), "BT-RS232 ver v4.22");
  std::strcpy(LinkState.reply, "Slave01");
  f.dialog->ShowSetting(0, ROW_N);
  std::strcpy(LinkState.reply, "4321");
  f.dialog->ShowSetting(0, ROW_P);
  EXPECT_EQ(f.dialog->m_name, "Slave01");
  EXPECT_EQ(f.dialog->m_pin, "4321");
  // The edit boxes change only with the load exchange, which marks the changed rows chosen.
  EXPECT_TRUE(f.Edit(IDC_NAME)->text().isEmpty());
  f.dialog->ExchangeData(false);
  EXPECT_EQ(f.Edit(IDC_NAME)->text(), "Slave01");
  EXPECT_EQ(f.Edit(IDC_LOCAL_ADDRESS)->text(), "004362344333");
  EXPECT_STREQ(remoteCommand, "D=00126f00ab34");
  EXPECT_TRUE(IsSettingChosen(ROW_N));
  EXPECT_TRUE(IsSettingChosen(ROW_P));
  EXPECT_TRUE(IsSettingChosen(ROW_D));
}

TEST(GuiMainDialog, OverlongTextStopsTheSaveExchangeWithTheValidationMessage) {
  DialogFixture f;
  std::strcpy(LinkState.reply, "A-name-of-twenty-two!!");
  f.dialog->ShowSetting(0, ROW_N);
  f.dialog->ExchangeData(false);
  // The box keeps the whole text the program put there.
  EXPECT_EQ(f.Edit(IDC_NAME)->text(), "A-name-of-twenty-two!!");
  QTest::keyClicks(f.Edit(IDC_REMOTE_ADDRESS), "00126F00AB34");
  f.ChooseCom(7);
  f.answers.Press(QMessageBox::Ok);
  EXPECT_FALSE(f.dialog->ExchangeData(true));
  EXPECT_EQ(f.answers.Texts(), QStringList{"Please enter no more than 16 characters."});
  // Members before the failing box are saved, the later ones are not.
  EXPECT_EQ(f.dialog->m_comIndex, 6);
  EXPECT_TRUE(f.dialog->m_remoteAddress.isEmpty());
  // The operator can shorten it again.
  f.Edit(IDC_NAME)->setFocus();
  QTest::keyClick(f.Edit(IDC_NAME), Qt::Key_End);
  QTest::keyClick(f.Edit(IDC_NAME), Qt::Key_Backspace);
  EXPECT_EQ(f.Edit(IDC_NAME)->text(), "A-name-of-twenty-two!");
}

TEST(GuiMainDialog, TypedComPortIsTheSelectedItem) {
  DialogFixture f;
  auto* com = f.Control<QComboBox>(IDC_COM_PORT);
  com->setEditText("com12");
  f.dialog->ExchangeData(true);
  EXPECT_EQ(f.dialog->m_comIndex, 11);
  com->setEditText("COM0");
  f.dialog->ExchangeData(true);
  EXPECT_EQ(f.dialog->m_comIndex, -1);
}

TEST(GuiMainDialog, ContextMenuOpensTheAboutBox) {
  DialogFixture f;
  QString version;
  f.answers
      .Then([](QWidget* popup) {
        auto* menu = qobject_cast<QMenu*>(popup);
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->actions().size(), 1);
        EXPECT_EQ(menu->actions().front()->text(), "&About Tarnwick...");
        menu->setActiveAction(menu->actions().front());
        QTest::keyClick(menu, Qt::Key_Return);
      })
      .Then([&](QWidget* about) {
        if (auto* label = about->findChild<QLabel*>("1046")) version = label->text();
        ClickChild(about, "1");
      });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                          f.dialog->mapToGlobal(QPoint(5, 5)));
  QCoreApplication::sendEvent(f.dialog.get(), &event);
  EXPECT_EQ(f.answers.Remaining(), 0u);
  ASSERT_EQ(f.answers.Texts().size(), 2);
  EXPECT_EQ(f.answers.Texts()[1], "About Tarnwick");
  EXPECT_TRUE(version.startsWith("Tarnwick Version 1.4.0.0\n"));
}

TEST(GuiMainDialog, ExitClosesTheIdleDialog) {
  DialogFixture f;
  f.Click(IDC_EXIT);
  EXPECT_FALSE(f.dialog->isVisible());
  EXPECT_EQ(f.dialog->result(), QDialog::Rejected);
}

}  // namespace
