#include "modal_answerer.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "message_box.h"

ModalAnswerer::ModalAnswerer() {
  connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::Look);
  timer_.start(0);
}

ModalAnswerer& ModalAnswerer::Press(QMessageBox::StandardButton button) {
  return Then([button](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr || box->button(button) == nullptr) {
      ADD_FAILURE() << "expected a message box with the button " << button << ", found "
                    << modal->metaObject()->className();
      QTest::keyClick(modal, Qt::Key_Escape);
      return;
    }
    box->button(button)->click();
  });
}

ModalAnswerer& ModalAnswerer::Then(Answer answer) {
  script_.push_back(std::move(answer));
  return *this;
}

void ModalAnswerer::Look() {
  QWidget* modal = QApplication::activePopupWidget();
  if (modal == nullptr) modal = QApplication::activeModalWidget();
  if (modal == nullptr || modal == busy_ || !modal->isVisible()) return;

  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    texts_ << box->text();
    const QPushButton* byDefault = box->defaultButton();
    boxes_ << QStringLiteral("%1|%2|%3|%4")
                  .arg(box->parentWidget() != nullptr && box->parentWidget() == MainDialogWindow()
                           ? QStringLiteral("owned")
                           : QStringLiteral("unowned"))
                  .arg(box->windowTitle())
                  .arg(static_cast<int>(box->icon()))
                  .arg(byDefault != nullptr ? byDefault->text() : QString());
  } else {
    texts_ << modal->windowTitle();
  }
  if (script_.empty()) {
    ++unexpected_;
    ADD_FAILURE() << "unexpected modal widget: " << texts_.back().toStdString();
    if (auto* menu = qobject_cast<QMenu*>(modal)) {
      menu->close();
    } else {
      QTest::keyClick(modal, Qt::Key_Escape);
    }
    return;
  }
  Answer answer = std::move(script_.front());
  script_.pop_front();
  QWidget* previous = busy_;
  busy_ = modal;
  answer(modal);
  busy_ = previous;
}

void ClickChild(QWidget* dialog, const char* objectName) {
  auto* button = dialog->findChild<QAbstractButton*>(QString::fromLatin1(objectName));
  if (button == nullptr) {
    ADD_FAILURE() << "no button " << objectName << " in " << dialog->metaObject()->className();
    return;
  }
  button->click();
}
