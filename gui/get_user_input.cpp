#include "get_user_input.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialog_units.h"
#include "message_box.h"

namespace {
constexpr int kEditId = 1036;
constexpr int kPromptId = 1041;
}  // namespace

GetUserInput::GetUserInput(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Dialog"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFont(QFont(QStringLiteral("MS Shell Dlg"), 8));
  const DialogUnits du = DialogUnits::ForFont(font());
  setFixedSize(du.Size(272, 95));

  // Created in tab order.
  edit_ = new QLineEdit(this);
  edit_->setObjectName(QString::number(kEditId));
  edit_->setGeometry(du.Rect(15, 49, 184, 14));

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("1"));
  ok->setGeometry(du.Rect(215, 7, 50, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &GetUserInput::accept);

  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("2"));
  cancel->setGeometry(du.Rect(215, 24, 50, 14));
  cancel->setAutoDefault(false);
  connect(cancel, &QPushButton::clicked, this, &GetUserInput::reject);

  prompt_ = new QLabel(QStringLiteral("Enter String:"), this);
  prompt_->setObjectName(QString::number(kPromptId));
  prompt_->setGeometry(du.Rect(14, 37, 183, 8));
  prompt_->setTextFormat(Qt::PlainText);
  prompt_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  edit_->setFocus();
}

void GetUserInput::InitDialog() {
  edit_->setText(m_input);
  prompt_->setText(m_prompt);
  edit_->setFocus();
}

void GetUserInput::accept() {
  m_input = edit_->text();
  QDialog::accept();
}

int RunGetUserInput(const QString& prompt, QString* result) {
  GetUserInput dialog(MainDialogWindow());
  dialog.m_input.clear();
  dialog.m_prompt = prompt;
  dialog.InitDialog();
  if (dialog.exec() != QDialog::Accepted) return 1;
  if (result != nullptr) *result = dialog.m_input;
  return 0;
}
