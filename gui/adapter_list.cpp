#include "adapter_list.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "adapter_settings.h"
#include "dialog_units.h"
#include "message_box.h"
#include "multipair_store.h"
#include "narrow_text.h"

namespace {
constexpr int kListId = 1045;
constexpr int kPromptId = 1044;
}  // namespace

AdapterList::AdapterList(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Dialog"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFont(QFont(QStringLiteral("MS Shell Dlg"), 8));
  const DialogUnits du = DialogUnits::ForFont(font());
  setFixedSize(du.Size(141, 73));

  // Created in tab order.
  list_ = new QComboBox(this);
  list_->setObjectName(QString::number(kListId));
  list_->setEditable(true);
  list_->setInsertPolicy(QComboBox::NoInsert);
  const QRect listRect = du.Rect(7, 50, 127, 30);  // the height includes the drop-down list
  list_->setGeometry(listRect.x(), listRect.y(), listRect.width(), du.Y(12));

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("1"));
  ok->setGeometry(du.Rect(7, 15, 50, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &AdapterList::accept);

  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("2"));
  cancel->setGeometry(du.Rect(84, 16, 50, 14));
  cancel->setAutoDefault(false);
  connect(cancel, &QPushButton::clicked, this, &AdapterList::reject);

  prompt_ = new QLabel(QStringLiteral("Select Adapter:"), this);
  prompt_->setObjectName(QString::number(kPromptId));
  prompt_->setGeometry(du.Rect(7, 38, 127, 8));
  prompt_->setTextFormat(Qt::PlainText);
  prompt_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void AdapterList::FillList() {
  list_->clear();
  if (m_listCode == ROW_K || m_listCode == ROW_L || m_listCode == ROW_M) {
    const AdapterSetting& row = AdapterSettings[m_listCode];
    for (int i = 0; i < row.valueCount; ++i) list_->addItem(FromNarrow(row.values[i].label));
  } else if (m_listCode == LIST_MULTIPAIR) {
    const int count = MultiPairList.count < MULTIPAIR_MAX ? MultiPairList.count : MULTIPAIR_MAX;
    for (int i = 0; i < count; ++i) list_->addItem(FromNarrow(MultiPairList.entries[i].name));
  }
}

void AdapterList::InitDialog() {
  prompt_->setText(m_prompt);
  FillList();
  // Adding the first item selects it; the selection is m_index's.
  list_->setCurrentIndex(m_index);
  if (m_index < 0) list_->setEditText(QString());
  list_->setFocus();
}

void AdapterList::accept() {
  // The entry whose text the field shows: the selected one, or the first that matches a
  // typed text exactly; -1 when the field names no entry.
  const QString text = list_->currentText();
  int index = list_->currentIndex();
  if (index < 0 || list_->itemText(index) != text) {
    index = text.isEmpty() ? -1 : list_->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
  }
  m_index = index;
  QDialog::accept();
}

int RunAdapterList(int listCode, const QString& prompt) {
  AdapterList dialog(MainDialogWindow());
  dialog.m_listCode = listCode;
  dialog.m_prompt = prompt;
  dialog.m_index = -1;
  for (;;) {
    dialog.InitDialog();
    if (dialog.exec() != QDialog::Accepted) return -1;
    if (dialog.m_index >= 0) return dialog.m_index;
    dialog.m_index = -1;
  }
}
