// tarnwick_dlg.h - CTarnwickDlg, the main dialog of Tarnwick.
//
// The operator picks a COM port, chooses adapter settings in radio groups and edit boxes, and
// starts one of seven operations of the protocol core with a button. Radio clicks and edit
// changes write the settings table at once, also while an operation runs. An operation runs
// inside its button's click handler on the window thread; the core keeps the window alive
// through PumpMessages, where the Exit button (reading "Abort" meanwhile) can stop it. The
// dialog is also the core's front end: trace lines land in the status window (AppendStatus)
// and the status query's values in the controls (ShowSetting).
//
// Every control carries its identifier as its object name ("1006" for Get Adapter Info).
#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

#include "dialog_front_end.h"
#include "dialog_prompts.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class StatusWindow;

// Control identifiers.
enum : int {
  IDC_EXIT = 2,
  IDC_STATUS = 1002,
  IDC_GET_INFO = 1006,
  IDC_PROGRAM = 1007,
  IDC_PAIR = 1008,
  IDC_MULTIPAIR = 1009,
  IDC_COM_PORT = 1010,
  IDC_PIN = 1031,
  IDC_LOCAL_ADDRESS = 1032,
  IDC_VERSION = 1033,
  IDC_REMOTE_ADDRESS = 1034,
  IDC_NAME = 1035,
  IDC_DISCONNECT = 1036,
  IDC_CONNECT = 1037,
  IDC_DEBUG = 1038,
  IDC_RESET = 1041,
};

// The About item of the dialog's menu.
inline constexpr int IDM_ABOUTBOX = 16;
inline constexpr int kComPortCount = 255;

// A radio group: the identifiers first to last stand for the row's values 0, 1, ...
struct RadioGroup {
  const char* caption;
  int firstId;
  int lastId;
  int row;
};

class CTarnwickDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CTarnwickDlg(QWidget* parent = nullptr);
  ~CTarnwickDlg() override;

  // Moves data between the controls and the members: save true reads the controls. A text
  // longer than its box limit stops a save with "Please enter no more than %1 characters."
  // and returns false, leaving the later members unchanged.
  bool ExchangeData(bool save);

  // A value the status query has read (valueIndex into the row's values, or 0 for a text
  // row whose text is in LinkState.reply).
  void ShowSetting(int valueIndex, int row);

  // Writes core text into the status window (raw: unchanged, no line end).
  void AppendStatus(const QString& text, bool raw);

  // A command of the dialog's menu; IDM_ABOUTBOX opens the About box.
  void OnSysCommand(int id);

  // Exit when idle, Abort while an operation runs (button 2, Esc, the close box).
  void reject() override;

  int32_t m_port = 0;
  int m_busy = 0;
  int m_comIndex = 0;
  QString m_pin;
  QString m_name;
  QString m_localAddress;
  QString m_remoteAddress;
  QIcon m_icon;

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // Closing steps of an operation, run with its status.
  enum class Closing { kLoadThenMessage, kMessageThenClearChosen, kMessage };
  struct Operation {
    const char* success;
    const char* failure;
    Closing closing;
    std::function<int32_t()> call;
  };

  void BuildControls();
  void InitDialog();
  QLineEdit* AddEdit(int id, int x, int y, int width, int height);

  void OnRadioClicked(int groupIndex, int clickedId);
  void OnOperationButton(int id);
  void OnEditChanged(int row, QLineEdit* edit);
  void OnDebugClicked();
  void RunOperation(const Operation& operation);
  void ShowResult(int32_t status, const Operation& operation);

  int32_t ConnectSequence();
  int32_t DisconnectSequence();
  void ApplyMultiPairEntry(int index);

  QComboBox* comPort_ = nullptr;
  QLineEdit* pinEdit_ = nullptr;
  QLineEdit* nameEdit_ = nullptr;
  QLineEdit* localAddressEdit_ = nullptr;
  QLineEdit* remoteAddressEdit_ = nullptr;
  QLabel* version_ = nullptr;
  QCheckBox* debug_ = nullptr;
  QPushButton* exit_ = nullptr;
  StatusWindow* status_ = nullptr;
  std::array<QButtonGroup*, 8> groups_{};

  DialogFrontEnd frontEnd_;
  DialogPrompts prompts_;
  FrontEnd* previousFrontEnd_ = nullptr;
  OperatorPrompts* previousPrompts_ = nullptr;
  void* previousMainDialog_ = nullptr;
};

// The eight radio groups in the order of the dialog.
extern const RadioGroup kRadioGroups[8];
