// The operation buttons of the main dialog against simulated adapters on the virtual clock:
// results, the busy guard, Abort, the port that cannot be opened, and the connect lists.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <functional>

#include "adapter_list.h"
#include "adapter_settings.h"
#include "dialog_fixture.h"
#include "documents_sandbox.h"
#include "link_state.h"
#include "multipair_store.h"
#include "multipairing.h"
#include "pairing.h"

namespace {

using tarnwick::SimAdapterConfig;
using tarnwick::SimRole;
using tarnwick::test::DocumentsSandbox;

// Runs check once, the first time the status window's text contains marker (the core is then
// inside the operation: the check sees the dialog as the operator would at that moment).
class WhenStatusShows {
 public:
  WhenStatusShows(const DialogFixture& f, QString marker, std::function<void()> check)
      : marker_(std::move(marker)), check_(std::move(check)) {
    auto* status = f.Control<QPlainTextEdit>(IDC_STATUS);
    connection_ = QObject::connect(status, &QPlainTextEdit::textChanged, [this, status] {
      if (fired_ || !status->toPlainText().contains(marker_)) return;
      fired_ = true;
      check_();
    });
  }
  ~WhenStatusShows() { QObject::disconnect(connection_); }
  bool Fired() const { return fired_; }

 private:
  QString marker_;
  std::function<void()> check_;
  QMetaObject::Connection connection_;
  bool fired_ = false;
};

// Posts a click; it is handled when the core next dispatches the waiting events.
void PostClick(const DialogFixture& f, int id) {
  auto* button = f.Control<QAbstractButton>(id);
  ASSERT_NE(button, nullptr) << id;
  QTimer::singleShot(0, button, [button] { button->click(); });
}

bool HasCommand(const std::vector<std::string>& commands, const std::string& prefix) {
  return std::any_of(commands.begin(), commands.end(),
                     [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
}

TEST(GuiOperations, GetAdapterInfoFillsGroupsDuringAndBoxesAtTheEnd) {
  DialogFixture f({{.baud = 57600,
                    .stopBits = 2,
                    .role = SimRole::kMaster,
                    .address = "00126F00AB34",
                    .name = "Slave01",
                    .pin = "4321"}});
  QList<int> radiosDuring;
  QString versionDuring, nameDuring, exitDuring;
  WhenStatusShows during(f, "Escape Mode: ", [&] {
    radiosDuring = f.SelectedRadios();
    versionDuring = f.Control<QLabel>(IDC_VERSION)->text();
    nameDuring = f.Edit(IDC_NAME)->text();
    exitDuring = f.Button(IDC_EXIT)->text();
  });
  f.answers.Press(QMessageBox::Ok);
  f.Click(IDC_GET_INFO);

  ASSERT_TRUE(during.Fired());
  // Mode Master, flow Disabled, discoverable, stop bits Two, 57600, parity None;
  // auto-connect is read for a master (Off). The escape row is the last one read.
  EXPECT_EQ(radiosDuring, (QList<int>{1018, 1020, 1024, 1026, 1028, 1029, 1077}));
  EXPECT_TRUE(versionDuring.endsWith("v4.22"));
  EXPECT_TRUE(nameDuring.isEmpty());  // the edit boxes wait for the end
  EXPECT_EQ(exitDuring, "Abort");

  EXPECT_EQ(f.answers.Texts(), QStringList{"Device query successful"});
  EXPECT_EQ(f.answers.Boxes(),
            QStringList{"owned|" + QCoreApplication::applicationName() + "|0|OK"});
  EXPECT_EQ(f.SelectedRadios(), (QList<int>{1018, 1020, 1024, 1026, 1028, 1029, 1040, 1077}));
  EXPECT_EQ(f.Edit(IDC_NAME)->text(), "Slave01");
  EXPECT_EQ(f.Edit(IDC_PIN)->text(), "4321");
  EXPECT_EQ(f.Edit(IDC_LOCAL_ADDRESS)->text(), "00126F00AB34");
  EXPECT_EQ(f.Edit(IDC_REMOTE_ADDRESS)->text(), "000000000000");
  EXPECT_TRUE(f.Status().contains("Local Device Name: Slave01"));
  EXPECT_EQ(f.Button(IDC_EXIT)->text(), "Exit");
  EXPECT_EQ(f.dialog->m_busy, 0);
  // The query shows values without choosing them; the filled boxes count as changes.
  EXPECT_FALSE(IsSettingChosen(ROW_L));
  EXPECT_FALSE(IsSettingChosen(ROW_R));
  EXPECT_TRUE(IsSettingChosen(ROW_N));
  EXPECT_TRUE(IsSettingChosen(ROW_P));
  EXPECT_TRUE(IsSettingChosen(ROW_D));
  EXPECT_STREQ(nameCommand, "N=Slave01");
}

TEST(GuiOperations, ProgramWritesTheChoicesAndClearsEveryChosenMark) {
  DialogFixture f;
  QTest::mouseClick(f.Radio(1078), Qt::LeftButton);  // 115200
  QTest::keyClicks(f.Edit(IDC_NAME), "Slave07");
  f.answers.Press(QMessageBox::Ok).Press(QMessageBox::Ok);
  f.Click(IDC_PROGRAM);
  EXPECT_EQ(f.answers.Texts(), QStringList{"Device Programmed"});
  EXPECT_EQ(f.core.Adapter().Settings().baud, 115200);
  EXPECT_EQ(f.core.Adapter().Settings().name, "Slave07");
  for (int row = 0; row < kSettingRows; ++row) EXPECT_FALSE(IsSettingChosen(row)) << row;

  // A second Program with nothing changed in between sends no setting.
  f.core.Adapter().ClearLog();
  f.Click(IDC_PROGRAM);
  EXPECT_EQ(f.answers.Texts(), (QStringList{"Device Programmed", "Device Programmed"}));
  EXPECT_FALSE(HasCommand(f.core.Commands(), "ATL"));
  EXPECT_FALSE(HasCommand(f.core.Commands(), "ATN="));
}

// An adapter that takes commands in and answers nothing: the search polls in vain, and the
// core dispatches the window's events between its polls.
tarnwick::SimFaults Silent() {
  tarnwick::SimFaults faults;
  faults.silent = true;
  return faults;
}

TEST(GuiOperations, BusyGuardAndAbort) {
  DialogFixture f;
  f.core.Adapter().SetFaults(Silent());
  // Handled at the core's first poll: two operation clicks that must do nothing, then Abort.
  PostClick(f, IDC_PROGRAM);
  PostClick(f, IDC_GET_INFO);
  QString exitDuring;
  QTimer::singleShot(0, f.dialog.get(), [&] { exitDuring = f.Button(IDC_EXIT)->text(); });
  PostClick(f, IDC_EXIT);
  f.answers.Press(QMessageBox::Ok);
  f.Click(IDC_GET_INFO);
  EXPECT_EQ(exitDuring, "Abort");
  EXPECT_EQ(f.answers.Texts(), QStringList{"Function Aborted"});
  EXPECT_EQ(f.answers.Unexpected(), 0);
  EXPECT_EQ(f.Button(IDC_EXIT)->text(), "Exit");
  EXPECT_EQ(f.dialog->m_busy, 0);
  EXPECT_EQ(LinkState.abortRequested, 0);
  EXPECT_TRUE(f.dialog->isVisible());  // Abort does not close the dialog
  EXPECT_FALSE(HasCommand(f.core.Commands(), "ATZ0"));

  // The dialog is idle again: the next query runs to its end.
  f.core.Adapter().SetFaults({});
  f.answers.Press(QMessageBox::Ok);
  f.Click(IDC_GET_INFO);
  EXPECT_EQ(f.answers.Texts(), (QStringList{"Function Aborted", "Device query successful"}));
}

TEST(GuiOperations, EscAndTheCloseBoxAbortLikeTheAbortButton) {
  struct Case {
    const char* what;
    std::function<void(CTarnwickDlg*)> request;
  };
  const Case cases[] = {
      {"Esc", [](CTarnwickDlg* d) { QTest::keyClick(d, Qt::Key_Escape); }},
      {"close box", [](CTarnwickDlg* d) { d->close(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DialogFixture f;
    f.core.Adapter().SetFaults(Silent());
    CTarnwickDlg* dialog = f.dialog.get();
    QTimer::singleShot(0, dialog, [&c, dialog] { c.request(dialog); });
    f.answers.Press(QMessageBox::Ok);
    f.Click(IDC_GET_INFO);
    EXPECT_EQ(f.answers.Texts(), QStringList{"Function Aborted"});
    EXPECT_TRUE(f.dialog->isVisible());
    // Idle, the same request closes the dialog.
    c.request(dialog);
    EXPECT_FALSE(f.dialog->isVisible());
  }
}

TEST(GuiOperations, DebugTickedDuringAnOperationShowsDebugLinesFromThen) {
  DialogFixture f;
  f.core.Adapter().SetFaults(Silent());
  QString before;
  QTimer::singleShot(0, f.dialog.get(), [&] { before = f.Status(); });
  PostClick(f, IDC_DEBUG);
  WhenStatusShows debugLine(f, "[07/05/11 ", [&] { PostClick(f, IDC_EXIT); });
  f.answers.Press(QMessageBox::Ok);
  f.Click(IDC_GET_INFO);
  EXPECT_EQ(before, "Connecting to device\n");
  EXPECT_TRUE(debugLine.Fired());
  EXPECT_EQ(LinkState.debugLevel, 10);
  EXPECT_EQ(f.answers.Texts(), QStringList{"Function Aborted"});
  EXPECT_TRUE(f.Status().startsWith("Connecting to device\n["));
}

TEST(GuiOperations, PairAndMultipairShowUnframedInstructionsAndClearTheChosenMarks) {
  struct Case {
    int button;
    const char* instruction;
  };
  const Case cases[] = {{IDC_PAIR, kAdapter1In}, {IDC_MULTIPAIR, kMasterIn}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    DialogFixture f;
    QTest::mouseClick(f.Radio(1029), Qt::LeftButton);  // Master
    f.answers.Press(QMessageBox::Cancel).Press(QMessageBox::Ok);
    f.Click(c.button);
    EXPECT_EQ(f.answers.Texts(), (QStringList{c.instruction, "Function Aborted"}));
    for (int row = 0; row < kSettingRows; ++row) EXPECT_FALSE(IsSettingChosen(row)) << row;
    EXPECT_EQ(LinkState.abortRequested, 0);
    EXPECT_TRUE(f.core.Commands().empty());
  }
}

TEST(GuiOperations, PortThatCannotBeOpened) {
  DialogFixture f;
  f.ChooseCom(12);
  bool abortShown = false;
  f.answers.Then([&](QWidget* box) {
    abortShown = f.Button(IDC_EXIT)->text() != "Exit";
    qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
  });
  f.Click(IDC_GET_INFO);
  EXPECT_EQ(f.answers.Texts(), QStringList{"Error #2 opening COM12"});
  EXPECT_FALSE(abortShown);
  EXPECT_EQ(f.Button(IDC_EXIT)->text(), "Exit");
  EXPECT_EQ(f.dialog->m_busy, 0);
  EXPECT_LT(f.dialog->m_port, 0);
  EXPECT_TRUE(f.Status().isEmpty());
}

// MultiPair.ini with two slaves.
constexpr char kTwoSlaves[] =
    "Slave01\r\n00126F00AB34\r\n115200\r\nNONE\r\nOne\r\n"
    "Slave02\r\n00126F00CD56\r\n9600\r\nEVEN\r\nTwo\r\n";

TEST(GuiOperations, ConnectWithTheListCancelled) {
  DocumentsSandbox documents;
  ASSERT_TRUE(documents.Ok());
  documents.WriteFile(kTwoSlaves);
  DialogFixture f({{.role = SimRole::kMaster}});
  QStringList listed;
  f.answers
      .Then([&](QWidget* list) {
        auto* combo = list->findChild<QComboBox*>("1045");
        for (int i = 0; combo != nullptr && i < combo->count(); ++i) listed << combo->itemText(i);
        ClickChild(list, "2");
      })
      .Press(QMessageBox::Ok);
  f.Click(IDC_CONNECT);
  EXPECT_EQ(listed, (QStringList{"Slave01", "Slave02"}));
  EXPECT_EQ(f.answers.Texts(), (QStringList{"Dialog", "Function Aborted"}));
  EXPECT_FALSE(HasCommand(f.core.Commands(), "ATA"));
  EXPECT_FALSE(HasCommand(f.core.Commands(), "ATD="));
  EXPECT_FALSE(IsSettingChosen(ROW_D));
}

TEST(GuiOperations, ConnectWithoutMultiPairIni) {
  DocumentsSandbox documents;
  ASSERT_TRUE(documents.Ok());
  DialogFixture f({{.role = SimRole::kMaster}});
  f.answers.Press(QMessageBox::Ok).Press(QMessageBox::Ok);
  f.Click(IDC_CONNECT);
  EXPECT_EQ(f.answers.Texts(), (QStringList{"Error opening MultiPair.ini", "Function Aborted"}));
  EXPECT_TRUE(f.core.Commands().empty());
  EXPECT_EQ(f.Button(IDC_EXIT)->text(), "Exit");
}

TEST(GuiOperations, ConnectToTheChosenSlave) {
  DocumentsSandbox documents;
  ASSERT_TRUE(documents.Ok());
  DialogFixture f({{.role = SimRole::kMaster, .address = "00126F000001"},
                   {.baud = 9600, .parity = 0, .address = "00126F00CD56", .name = "Slave02"}});
  documents.WriteFile(
      "Slave01\r\n00126F00AB34\r\n115200\r\nNONE\r\nOne\r\n"
      "Slave02\r\n00126F00CD56\r\n9600\r\nNONE\r\nTwo\r\n");
  f.answers
      .Then([&](QWidget* list) {
        list->findChild<QComboBox*>("1045")->setCurrentIndex(1);
        ClickChild(list, "1");
      })
      .Press(QMessageBox::Ok);
  f.Click(IDC_CONNECT);
  ASSERT_EQ(f.answers.Texts().size(), 2);
  EXPECT_EQ(f.answers.Texts()[1], "Device Connected");
  EXPECT_EQ(f.Edit(IDC_REMOTE_ADDRESS)->text(), "00126F00CD56");
  EXPECT_STREQ(remoteCommand, "D=00126F00CD56");
  EXPECT_TRUE(IsSettingChosen(ROW_D));
  EXPECT_EQ(AdapterSettings[ROW_L].current, 1);
  EXPECT_EQ(AdapterSettings[ROW_K].current, 1);
  EXPECT_TRUE(IsSettingChosen(ROW_K));
  EXPECT_TRUE(f.SelectedRadios().isEmpty());  // the radio buttons are not updated
  EXPECT_EQ(MultiPairList.count, 2);
  EXPECT_TRUE(HasCommand(f.core.Commands(), "ATD=00126F00CD56"));
}

TEST(GuiOperations, MultipairThroughTheDialogsThenDisconnectOffersTheNewList) {
  DocumentsSandbox documents;
  ASSERT_TRUE(documents.Ok());
  DialogFixture f(
      {{.role = SimRole::kMaster, .address = "00126F0000B0"}, {.address = "00126F0000B1"}});
  auto choose = [](int index) {
    return [index](QWidget* list) {
      list->findChild<QComboBox*>("1045")->setCurrentIndex(index);
      ClickChild(list, "1");
    };
  };
  QStringList prompts;
  auto prompt = [&](QWidget* dialog) {
    for (const char* id : {"1041", "1044"}) {
      if (auto* label = dialog->findChild<QLabel*>(id)) prompts << label->text();
    }
  };
  f.answers
      .Press(QMessageBox::Ok)    // the master is plugged in
      .Then([&](QWidget* box) {  // plug the slave in
        f.core.world.Plug(1);
        qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
      })
      .Then([&](QWidget* input) {
        prompt(input);
        QTest::keyClicks(input->findChild<QLineEdit*>("1036"), "Slave01");
        ClickChild(input, "1");
      })
      .Then([&](QWidget* list) {
        prompt(list);
        choose(4)(list);
      })  // 115200
      .Then([&](QWidget* list) {
        prompt(list);
        choose(0)(list);
      })  // NONE
      .Then([&](QWidget* list) {
        prompt(list);
        choose(0)(list);
      })                       // One
      .Press(QMessageBox::No)  // no more slaves
      .Press(QMessageBox::Ok);
  f.Click(IDC_MULTIPAIR);
  EXPECT_EQ(f.answers.Remaining(), 0u);
  ASSERT_FALSE(f.answers.Texts().isEmpty());
  EXPECT_EQ(f.answers.Texts().back(), "Devices Multipaired");
  EXPECT_EQ(prompts, (QStringList{"Enter Adapter Name:", "Select Adapter Baudrate:",
                                  "Select Adapter Parity:", "Select Adapter Stopbit:"}));
  EXPECT_EQ(documents.ReadFile().value_or("<none>"),
            "Slave01\r\n00126F0000B1\r\n115200\r\nNONE\r\nOne\r\n");
  for (int row = 0; row < kSettingRows; ++row) EXPECT_FALSE(IsSettingChosen(row)) << row;

  // Disconnect offers the list the multipairing left, without reading the file.
  std::filesystem::remove(documents.FilePath());
  f.core.world.Plug(0);
  QStringList listed;
  f.answers
      .Then([&](QWidget* list) {
        auto* combo = list->findChild<QComboBox*>("1045");
        for (int i = 0; i < combo->count(); ++i) listed << combo->itemText(i);
        ClickChild(list, "2");
      })
      .Press(QMessageBox::Ok);
  f.Click(IDC_DISCONNECT);
  EXPECT_EQ(listed, QStringList{"Slave01"});
  EXPECT_EQ(f.answers.Remaining(), 0u);
}

TEST(GuiOperations, DisconnectBeforeAnyConnectOffersAnEmptyList) {
  DialogFixture f;
  int listed = -1;
  f.answers
      .Then([&](QWidget* list) {
        listed = list->findChild<QComboBox*>("1045")->count();
        ClickChild(list, "1");  // OK without a choice: not an answer
      })
      .Then([&](QWidget* list) { ClickChild(list, "2"); })
      .Press(QMessageBox::Ok);
  f.Click(IDC_DISCONNECT);
  EXPECT_EQ(listed, 0);
  ASSERT_EQ(f.answers.Texts().size(), 3);
  // The disconnect ran all the same, with the current settings.
  EXPECT_GT(f.core.Adapter().ReceivedBytes(), 0);
  EXPECT_TRUE(f.answers.Texts()[2] == "Device disconnected" ||
              f.answers.Texts()[2] == "Error disconnecting adapter")
      << f.answers.Texts()[2].toStdString();
  EXPECT_EQ(f.answers.Unexpected(), 0);
}

}  // namespace
