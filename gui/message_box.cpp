#include "message_box.h"

#include <QCoreApplication>
#include <QPushButton>

#include "link_state.h"

QString ApplicationName() { return QCoreApplication::applicationName(); }

QWidget* MainDialogWindow() { return static_cast<QWidget*>(LinkState.mainDialog); }

QMessageBox::StandardButton ShowMessageBox(
    const QString& text, std::initializer_list<QMessageBox::StandardButton> buttons) {
  QMessageBox box(MainDialogWindow());
  box.setIcon(QMessageBox::NoIcon);
  box.setWindowTitle(ApplicationName());
  box.setTextFormat(Qt::PlainText);
  box.setText(text);
  QMessageBox::StandardButtons set;
  for (QMessageBox::StandardButton button : buttons) set |= button;
  box.setStandardButtons(set);
  if (buttons.size() > 0) box.setDefaultButton(*buttons.begin());
  // Esc and the close box answer Cancel where there is one, else the only button.
  if (set.testFlag(QMessageBox::Cancel)) {
    box.setEscapeButton(QMessageBox::Cancel);
  } else if (buttons.size() == 1) {
    box.setEscapeButton(*buttons.begin());
  }
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  if (clicked == nullptr) return QMessageBox::NoButton;
  return box.standardButton(clicked);
}

void ShowMessage(const QString& text) { ShowMessageBox(text, {QMessageBox::Ok}); }
