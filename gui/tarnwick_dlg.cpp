#include "tarnwick_dlg.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

#include "about_dlg.h"
#include "adapter_settings.h"
#include "box_limit.h"
#include "dialog_units.h"
#include "link_state.h"
#include "message_box.h"
#include "narrow_text.h"
#include "operator_prompts.h"
#include "status_window.h"
#include "tarnwick_resources.h"

const RadioGroup kRadioGroups[8] = {
    {"Baud Rate", 1074, 1082, ROW_L},      {"Parity", 1020, 1022, ROW_M},
    {"Stopbits", 1023, 1024, ROW_K},       {"Flow Control", 1018, 1019, ROW_C},
    {"Mode", 1029, 1030, ROW_R},           {"Auto-connect", 1027, 1028, ROW_O},
    {"Discovery Mode", 1025, 1026, ROW_H}, {"Escape", 1039, 1040, ROW_X},
};

namespace {

// A radio button of the dialog: a click selects it (a second click keeps it selected); the
// dialog clears the other buttons of its group.
class DialogRadioButton final : public QRadioButton {
 public:
  DialogRadioButton(const QString& text, QWidget* parent) : QRadioButton(text, parent) {
    setAutoExclusive(false);
    setFocusPolicy(Qt::ClickFocus);  // radio buttons take no part in tabbing
  }

 protected:
  void nextCheckState() override { setChecked(true); }
};

struct RadioControl {
  int id;
  const char* text;
  int x, y, width, height;
};

struct GroupFrame {
  const char* caption;
  int x, y, width, height;
};

// The group frames in the order of kRadioGroups.
constexpr GroupFrame kGroupFrames[8] = {
    {"Baud Rate", 7, 51, 44, 89},
    {"Parity", 55, 51, 34, 41},
    {"Stopbits", 55, 94, 35, 29},
    {"Flow Control", 94, 51, 52, 33},
    {"Mode", 93, 93, 42, 30},
    {"Auto-connect", 138, 93, 50, 30},
    {"Discovery Mode", 153, 54, 67, 30},
    {"Escape", 192, 93, 48, 30},
};

// The radio buttons in the dialog's order, each group's buttons after its frame.
constexpr RadioControl kRadioControls[] = {
    {1080, "1200", 14, 59, 32, 10},
    {1081, "2400", 14, 68, 32, 10},
    {1079, "4800", 14, 77, 32, 10},
    {1075, "9600", 14, 86, 32, 10},
    {1074, "19200", 14, 95, 36, 10},
    {1076, "38400", 14, 104, 36, 10},
    {1077, "57600", 14, 113, 36, 10},
    {1078, "115200", 14, 122, 40, 10},
    {1082, "230400", 14, 131, 40, 10},
    {1020, "None", 57, 60, 33, 10},
    {1021, "Odd", 57, 70, 29, 10},
    {1022, "Even", 57, 80, 32, 10},
    {1023, "One", 57, 102, 29, 10},
    {1024, "Two", 57, 111, 29, 10},
    {1018, "Disabled", 96, 60, 44, 10},
    {1019, "Enabled", 96, 71, 42, 10},
    {1029, "Master", 96, 102, 38, 10},
    {1030, "Slave", 96, 111, 33, 10},
    {1027, "On", 141, 102, 25, 10},
    {1028, "Off", 141, 111, 26, 10},
    {1025, "Non-Discoverable", 156, 63, 65, 10},
    {1026, "Discoverable", 156, 73, 56, 10},
    {1039, "Disabled", 195, 102, 44, 10},
    {1040, "Enabled", 195, 111, 42, 10},
};

int GroupOfId(int id) {
  for (int g = 0; g < 8; ++g) {
    if (id >= kRadioGroups[g].firstId && id <= kRadioGroups[g].lastId) return g;
  }
  return -1;
}

int GroupOfRow(int row) {
  for (int g = 0; g < 8; ++g) {
    if (kRadioGroups[g].row == row) return g;
  }
  return -1;
}

QLabel* AddLabel(QWidget* parent, const DialogUnits& du, const QString& text, QRect rect) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setGeometry(du.Rect(rect.x(), rect.y(), rect.width(), rect.height()));
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return label;
}

// The hexadecimal digits of text, in order.
QString HexDigitsOf(const char* text) {
  QString digits;
  for (const char* p = text; *p != '\0'; ++p) {
    const char c = *p;
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) {
      digits += QLatin1Char(c);
    }
  }
  return digits;
}

}  // namespace

CTarnwickDlg::CTarnwickDlg(QWidget* parent) : QDialog(parent) {
  InitTarnwickResources();
  m_icon = QIcon(kIconResource);
  BuildControls();
  InitDialog();
}

CTarnwickDlg::~CTarnwickDlg() {
  if (LinkState.mainDialog == this) LinkState.mainDialog = previousMainDialog_;
  SetOperatorPrompts(previousPrompts_);
  SetFrontEnd(previousFrontEnd_);
}

QLineEdit* CTarnwickDlg::AddEdit(int id, int x, int y, int width, int height) {
  const DialogUnits du = DialogUnits::ForFont(font());
  auto* edit = new QLineEdit(this);
  edit->setObjectName(QString::number(id));
  edit->setGeometry(du.Rect(x, y, width, height));
  return edit;
}

void CTarnwickDlg::BuildControls() {
  setWindowTitle(QStringLiteral("Configuration Software KX208"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFont(QFont(QStringLiteral("Microsoft Sans Serif"), 12));
  const DialogUnits du = DialogUnits::ForFont(font());
  setFixedSize(du.Size(330, 264));

  auto* picture = new QLabel(this);
  picture->setGeometry(du.Rect(7, 7, 111, 18));
  picture->setPixmap(QPixmap(kProductPictureResource));
  picture->setScaledContents(true);

  AddLabel(this, du, QStringLiteral("COM Port"), QRect(135, 15, 32, 8));
  comPort_ = new QComboBox(this);
  comPort_->setObjectName(QString::number(IDC_COM_PORT));
  comPort_->setEditable(true);
  comPort_->setInsertPolicy(QComboBox::NoInsert);
  comPort_->setMaxVisibleItems(8);
  for (int com = 1; com <= kComPortCount; ++com)
    comPort_->addItem(QStringLiteral("COM%1").arg(com));
  const QRect comRect = du.Rect(127, 23, 48, 30);  // the height includes the drop-down list
  comPort_->setGeometry(comRect.x(), comRect.y(), comRect.width(), comPort_->sizeHint().height());

  // Group frames first, so that they lie below their buttons.
  for (int g = 0; g < 8; ++g) {
    const GroupFrame& frame = kGroupFrames[g];
    auto* box = new QGroupBox(QString::fromLatin1(frame.caption), this);
    box->setGeometry(du.Rect(frame.x, frame.y, frame.width, frame.height));
    // The caption sits on the frame's top line, as the layout's rectangles assume.
    box->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.5em; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 0.4em; padding: 0 0.2em; }"));
    box->lower();
    groups_[static_cast<std::size_t>(g)] = new QButtonGroup(this);
    groups_[static_cast<std::size_t>(g)]->setExclusive(false);
  }
  for (const RadioControl& control : kRadioControls) {
    auto* button = new DialogRadioButton(QString::fromLatin1(control.text), this);
    button->setObjectName(QString::number(control.id));
    button->setGeometry(du.Rect(control.x, control.y, control.width, control.height));
    const int g = GroupOfId(control.id);
    groups_[static_cast<std::size_t>(g)]->addButton(button, control.id);
  }
  for (int g = 0; g < 8; ++g) {
    connect(groups_[static_cast<std::size_t>(g)], &QButtonGroup::idClicked, this,
            [this, g](int id) { OnRadioClicked(g, id); });
  }

  AddLabel(this, du, QStringLiteral("Adapter Name"), QRect(7, 145, 47, 8));
  nameEdit_ = AddEdit(IDC_NAME, 7, 154, 54, 12);
  AddLabel(this, du, QStringLiteral("Password"), QRect(67, 145, 32, 8));
  pinEdit_ = AddEdit(IDC_PIN, 67, 154, 33, 12);
  AddLabel(this, du, QStringLiteral("Adapter Address"), QRect(109, 145, 54, 8));
  localAddressEdit_ = AddEdit(IDC_LOCAL_ADDRESS, 109, 154, 54, 12);
  localAddressEdit_->setReadOnly(true);
  AddLabel(this, du, QStringLiteral("Remote Address"), QRect(169, 145, 54, 8));
  remoteAddressEdit_ = AddEdit(IDC_REMOTE_ADDRESS, 169, 154, 54, 12);
  new BoxLimit(pinEdit_, 8);
  new BoxLimit(nameEdit_, 16);
  new BoxLimit(localAddressEdit_, 12);
  new BoxLimit(remoteAddressEdit_, 12);
  connect(nameEdit_, &QLineEdit::textChanged, this, [this] { OnEditChanged(ROW_N, nameEdit_); });
  connect(pinEdit_, &QLineEdit::textChanged, this, [this] { OnEditChanged(ROW_P, pinEdit_); });
  connect(remoteAddressEdit_, &QLineEdit::textChanged, this,
          [this] { OnEditChanged(ROW_D, remoteAddressEdit_); });

  AddLabel(this, du, QStringLiteral("Software Version: "), QRect(7, 168, 60, 8));
  version_ = AddLabel(this, du, QString(), QRect(64, 168, 87, 8));
  version_->setObjectName(QString::number(IDC_VERSION));

  debug_ = new QCheckBox(QStringLiteral("Debug"), this);
  debug_->setObjectName(QString::number(IDC_DEBUG));
  debug_->setGeometry(du.Rect(9, 198, 37, 10));
  connect(debug_, &QCheckBox::clicked, this, &CTarnwickDlg::OnDebugClicked);

  exit_ = new QPushButton(QStringLiteral("Exit"), this);
  exit_->setObjectName(QString::number(IDC_EXIT));
  exit_->setGeometry(du.Rect(119, 181, 50, 16));
  connect(exit_, &QPushButton::clicked, this, &CTarnwickDlg::reject);

  AddLabel(this, du, QStringLiteral("Status Window"), QRect(119, 201, 49, 8));
  status_ = new StatusWindow(this);
  status_->setObjectName(QString::number(IDC_STATUS));
  status_->setGeometry(du.Rect(8, 210, 276, 45));

  struct OperationButton {
    int id;
    const char* text;
    int x, y, width, height;
  };
  constexpr OperationButton kButtons[] = {
      {IDC_GET_INFO, "Get Adapter Info", 263, 49, 60, 14},
      {IDC_PROGRAM, "Program Adapter", 264, 65, 59, 14},
      {IDC_PAIR, "Pair Adapter", 264, 81, 59, 14},
      {IDC_RESET, "Reset Adapter", 264, 97, 59, 14},
      {IDC_MULTIPAIR, "Multipair Adapter", 264, 113, 59, 14},
      {IDC_CONNECT, "Connect", 264, 129, 59, 14},
      {IDC_DISCONNECT, "Disconnect", 264, 145, 59, 14},
  };
  for (const OperationButton& control : kButtons) {
    auto* button = new QPushButton(QString::fromLatin1(control.text), this);
    button->setObjectName(QString::number(control.id));
    button->setGeometry(du.Rect(control.x, control.y, control.width, control.height));
    button->setAutoDefault(false);
    const int id = control.id;
    connect(button, &QPushButton::clicked, this, [this, id] { OnOperationButton(id); });
  }
  exit_->setAutoDefault(false);
}

void CTarnwickDlg::InitDialog() {
  ExchangeData(false);
  setWindowIcon(m_icon);
  m_port = -1;
  m_busy = 0;
  previousMainDialog_ = LinkState.mainDialog;
  LinkState.mainDialog = this;
  previousFrontEnd_ = SetFrontEnd(&frontEnd_);
  previousPrompts_ = SetOperatorPrompts(&prompts_);
  comPort_->setFocus();
}

bool CTarnwickDlg::ExchangeData(bool save) {
  struct Box {
    QLineEdit* edit;
    QString* member;
    int limit;
  };
  const Box boxes[] = {{pinEdit_, &m_pin, 8},
                       {nameEdit_, &m_name, 16},
                       {localAddressEdit_, &m_localAddress, 12},
                       {remoteAddressEdit_, &m_remoteAddress, 12}};
  if (!save) {
    comPort_->setCurrentIndex(m_comIndex);
    for (const Box& box : boxes) {
      if (box.edit->text() != *box.member) box.edit->setText(*box.member);
    }
    return true;
  }

  // The item the field names: the selected one, or the one whose text was typed.
  const QString typed = comPort_->currentText();
  int index = comPort_->currentIndex();
  if (index < 0 || comPort_->itemText(index).compare(typed, Qt::CaseInsensitive) != 0) {
    index = comPort_->findText(typed, Qt::MatchFixedString);
    if (index >= 0) comPort_->setCurrentIndex(index);
  }
  m_comIndex = index;
  for (const Box& box : boxes) {
    const QString text = box.edit->text();
    if (text.size() > box.limit) {
      ShowMessage(QStringLiteral("Please enter no more than %1 characters.").arg(box.limit));
      box.edit->setFocus();
      box.edit->selectAll();
      return false;
    }
    *box.member = text;
  }
  return true;
}

void CTarnwickDlg::OnRadioClicked(int groupIndex, int clickedId) {
  const RadioGroup& group = kRadioGroups[groupIndex];
  QButtonGroup* buttons = groups_[static_cast<std::size_t>(groupIndex)];
  // The clicked button is selected: clear the others of its group, and only those.
  for (int id = group.firstId; id <= group.lastId; ++id) {
    if (id == clickedId) continue;
    if (QAbstractButton* button = buttons->button(id)) button->setChecked(false);
  }
  for (int id = group.firstId; id <= group.lastId; ++id) {
    QAbstractButton* button = buttons->button(id);
    if (button != nullptr && button->isChecked()) {
      ChooseSettingValue(group.row, id - group.firstId);
      return;
    }
  }
}

void CTarnwickDlg::OnEditChanged(int row, QLineEdit* edit) {
  ChooseSettingText(row, ToNarrow(edit->text()).c_str());
}

void CTarnwickDlg::OnDebugClicked() { LinkState.debugLevel = debug_->isChecked() ? 10 : 0; }

void CTarnwickDlg::ShowSetting(int valueIndex, int row) {
  if (row < 0 || row >= kSettingRows) return;
  switch (AdapterSettings[row].flags & SETTING_KIND_MASK) {
    case KIND_ENUM: {
      const int g = GroupOfRow(row);
      if (g < 0) return;  // rows E and Q have no group
      const RadioGroup& group = kRadioGroups[g];
      QButtonGroup* buttons = groups_[static_cast<std::size_t>(g)];
      for (int id = group.firstId; id <= group.lastId; ++id) {
        if (QAbstractButton* button = buttons->button(id)) {
          button->setChecked(id == group.firstId + valueIndex);
        }
      }
      return;
    }
    case KIND_ADDRESS:
      (row == ROW_B ? m_localAddress : m_remoteAddress) = HexDigitsOf(LinkState.reply);
      return;
    case KIND_TEXT:
      if (row == ROW_I) {
        version_->setText(FromNarrow(LinkState.reply));
      } else if (row == ROW_N) {
        m_name = FromNarrow(LinkState.reply);
      }
      return;
    case KIND_PIN: m_pin = FromNarrow(LinkState.reply); return;
    default: return;
  }
}

void CTarnwickDlg::AppendStatus(const QString& text, bool raw) { status_->AppendStatus(text, raw); }

void CTarnwickDlg::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* about = menu.addAction(QStringLiteral("&About Tarnwick..."));
  about->setObjectName(QString::number(IDM_ABOUTBOX));
  about->setData(IDM_ABOUTBOX);
  if (QAction* chosen = menu.exec(event->globalPos())) OnSysCommand(chosen->data().toInt());
  event->accept();
}

void CTarnwickDlg::OnSysCommand(int id) {
  if ((id & ~0xF) == IDM_ABOUTBOX) {
    CAboutDlg about(this);
    about.exec();
  }
}
