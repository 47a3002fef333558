// The dialog rendering of the operator prompts, GetUserInput and AdapterList.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <cstring>

#include "adapter_list.h"
#include "adapter_settings.h"
#include "dialog_fixture.h"
#include "get_user_input.h"
#include "link_state.h"
#include "multipair_store.h"
#include "operator_prompts.h"

namespace {

QStringList Items(QWidget* list) {
  QStringList items;
  auto* combo = list->findChild<QComboBox*>("1045");
  for (int i = 0; combo != nullptr && i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

void Choose(QWidget* list, int index) {
  list->findChild<QComboBox*>("1045")->setCurrentIndex(index);
  ClickChild(list, "1");
}

TEST(GuiPrompts, MessageBoxPromptsAndTheirAnswers) {
  DialogFixture f;
  OperatorPrompts& prompts = Prompts();
  struct Case {
    const char* what;
    std::function<int32_t()> ask;
    std::function<void(QWidget*)> answer;
    int32_t result;
    int abortFlag;
    const char* text;
    const char* defaultButton;
  };
  auto press = [](QMessageBox::StandardButton b) {
    return [b](QWidget* w) { qobject_cast<QMessageBox*>(w)->button(b)->click(); };
  };
  auto escape = [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); };
  const Case cases[] = {
      {"ok", [&] { return prompts.PromptOkCancel("* 1. Plug in adapter1.\n\n"); },
       press(QMessageBox::Ok), 0, 0, "* 1. Plug in adapter1.\n\n", "OK"},
      {"cancel", [&] { return prompts.PromptOkCancel("Swap"); }, press(QMessageBox::Cancel),
       LINK_ABORTED, 1, "Swap", "OK"},
      {"esc", [&] { return prompts.PromptOkCancel("Swap"); }, escape, LINK_ABORTED, 1, "Swap",
       "OK"},
      {"yes", [&] { return prompts.PromptMoreSlaves(); }, press(QMessageBox::Yes), 0, 0,
       "* Anymore slave adapters?\n\n", "&Yes"},
      {"no", [&] { return prompts.PromptMoreSlaves(); }, press(QMessageBox::No), 1, 0,
       "* Anymore slave adapters?\n\n", "&Yes"},
      {"more cancel", [&] { return prompts.PromptMoreSlaves(); }, press(QMessageBox::Cancel),
       LINK_ABORTED, 1, "* Anymore slave adapters?\n\n", "&Yes"},
      {"file error", [&] { return prompts.ShowMultiPairError(); }, press(QMessageBox::Ok), 0, 0,
       "Error opening MultiPair.ini", "OK"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LinkState.abortRequested = 0;
    const qsizetype before = f.answers.Boxes().size();
    f.answers.Then(c.answer);
    EXPECT_EQ(c.ask(), c.result);
    EXPECT_EQ(LinkState.abortRequested, c.abortFlag);
    EXPECT_EQ(f.answers.Texts().mid(before), QStringList{c.text});
    // Owned by the main dialog, captioned with the application's name, no icon, the first
    // button the default.
    const QString expected = "owned|" + QCoreApplication::applicationName() + "|0|";
    const QStringList boxes = f.answers.Boxes().mid(before);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0].left(expected.size()), expected);
    EXPECT_EQ(boxes[0].mid(expected.size()).remove('&'), QString(c.defaultButton).remove('&'));
  }
  LinkState.abortRequested = 0;
  // Instructions are shown without the console's frame.
  EXPECT_EQ(prompts.Instruction("* 1. Plug in adapter1.\n\n", 67), "* 1. Plug in adapter1.\n\n");
}

TEST(GuiPrompts, AdapterNameKeepsTheFirst16Characters) {
  DialogFixture f;
  struct Case {
    const char* typed;
    bool ok;
    int32_t result;
    const char* stored;
  };
  const Case cases[] = {
      {"Slave-Adapter-Number-7", true, 0, "Slave-Adapter-Nu"},
      {"", true, 0, ""},
      {"Slave01", false, LINK_ABORTED, "untouched"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    ModalAnswerer& answers = f.answers;
    QString prompt;
    answers.Then([&](QWidget* dialog) {
      prompt = dialog->findChild<QLabel*>("1041")->text();
      auto* edit = dialog->findChild<QLineEdit*>("1036");
      EXPECT_TRUE(edit->text().isEmpty());
      QTest::keyClicks(edit, c.typed);
      ClickChild(dialog, c.ok ? "1" : "2");
    });
    char name[kAdapterNameField];
    std::memset(name, 'x', sizeof name);
    std::strcpy(name, "untouched");
    EXPECT_EQ(Prompts().PromptAdapterName(name), c.result);
    EXPECT_STREQ(name, c.stored);
    EXPECT_EQ(prompt, "Enter Adapter Name:");
    EXPECT_EQ(LinkState.abortRequested, 0);  // a cancelled name leaves the abort flag clear
  }
}

TEST(GuiPrompts, GetUserInputClosedWithEscapeKeepsTheResult) {
  DialogFixture f;
  ModalAnswerer& answers = f.answers;
  answers.Then([](QWidget* dialog) {
    QTest::keyClicks(dialog->findChild<QLineEdit*>("1036"), "typed");
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  QString result = "before";
  EXPECT_EQ(RunGetUserInput("Enter String:", &result), 1);
  EXPECT_EQ(result, "before");
}

TEST(GuiPrompts, AdapterListComesBackAfterOkWithoutAChoice) {
  DialogFixture f;
  ModalAnswerer& answers = f.answers;
  QStringList first, second, prompts;
  answers
      .Then([&](QWidget* list) {
        first = Items(list);
        prompts << list->findChild<QLabel*>("1044")->text();
        ClickChild(list, "1");
      })
      .Then([&](QWidget* list) {
        second = Items(list);
        EXPECT_EQ(list->findChild<QComboBox*>("1045")->currentIndex(), -1);
        Choose(list, 1);
      });
  EXPECT_EQ(Prompts().PromptSelectValue(ROW_M, "Select Adapter Parity:"), 1);
  EXPECT_EQ(first, (QStringList{"NONE", "ODD", "EVEN"}));
  EXPECT_EQ(second, first);  // a freshly filled list, not a doubled one
  EXPECT_EQ(prompts, QStringList{"Select Adapter Parity:"});
  EXPECT_EQ(answers.Remaining(), 0u);
}

TEST(GuiPrompts, AdapterListContentsByListCode) {
  DialogFixture f;
  MultiPairList.count = 2;
  std::strcpy(MultiPairList.entries[0].name, "Slave01");
  std::strcpy(MultiPairList.entries[1].name, "Slave02");
  struct Case {
    int code;
    int choose;
    QStringList items;
  };
  const Case cases[] = {
      {ROW_L, 4, {"19200", "9600", "38400", "57600", "115200", "4800", "1200", "2400", "230400"}},
      {ROW_K, 1, {"One", "Two"}},
      {LIST_MULTIPAIR, 1, {"Slave01", "Slave02"}},
      {8, -1, {}},
      {13, -1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    ModalAnswerer& answers = f.answers;
    QStringList shown;
    answers.Then([&](QWidget* list) {
      shown = Items(list);
      if (c.choose >= 0) {
        Choose(list, c.choose);
      } else {
        ClickChild(list, "2");  // an empty list ends only with Cancel
      }
    });
    EXPECT_EQ(RunAdapterList(c.code, "Select Adapter:"), c.choose);
    EXPECT_EQ(shown, c.items);
  }
  // A cancelled value choice returns LINK_ABORTED and leaves the abort flag clear.
  ModalAnswerer& answers = f.answers;
  answers.Then([](QWidget* list) { QTest::keyClick(list, Qt::Key_Escape); });
  EXPECT_EQ(Prompts().PromptSelectValue(ROW_L, "Select Adapter Baudrate:"), LINK_ABORTED);
  EXPECT_EQ(LinkState.abortRequested, 0);
}

}  // namespace
