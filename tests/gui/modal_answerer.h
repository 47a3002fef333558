// modal_answerer.h - answers the modal boxes and dialogs a test makes the program show.
//
// A timer looks for the active modal widget (and open pop-up menus) at every turn of the
// event loop and hands it to the next scripted answer; each answer records what it saw. A
// modal widget with no answer left is closed (Esc) and recorded as unexpected, so a test
// fails instead of hanging.
//
//   ModalAnswerer answers;
//   answers.Press(QMessageBox::Ok);                     // the next message box: OK
//   answers.Then([](QWidget* w) { ... });               // the next modal widget: anything
//   ... click ...
//   EXPECT_EQ(answers.Texts(), (QStringList{"Device query successful"}));
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>

class ModalAnswerer : public QObject {
  Q_OBJECT

 public:
  using Answer = std::function<void(QWidget* modal)>;

  ModalAnswerer();

  // The next modal widget must be a message box; press its button.
  ModalAnswerer& Press(QMessageBox::StandardButton button);
  // The next modal widget (a message box, a dialog or a pop-up menu) is handed to answer.
  ModalAnswerer& Then(Answer answer);

  // What every answered widget showed: a message box's text, else its window title.
  const QStringList& Texts() const { return texts_; }
  // The message boxes answered, as "owned|caption|icon|default button text" (owned:
  // the main dialog is its parent) for each.
  const QStringList& Boxes() const { return boxes_; }
  std::size_t Remaining() const { return script_.size(); }
  int Unexpected() const { return unexpected_; }

 private:
  void Look();

  QTimer timer_;
  std::deque<Answer> script_;
  QStringList texts_;
  QStringList boxes_;
  int unexpected_ = 0;
  QWidget* busy_ = nullptr;  // the widget being answered (its answer may open more)
};

// Clicks the button of a dialog with this object name ("1" OK, "2" Cancel).
void ClickChild(QWidget* dialog, const char* objectName);
