// get_user_input.h - GetUserInput, the dialog in which the operator types one line of text.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;

class GetUserInput : public QDialog {
  Q_OBJECT

 public:
  // Owned by parent (the main dialog), which is blocked while the dialog is up.
  explicit GetUserInput(QWidget* parent = nullptr);

  QString m_input;   // the text of edit 1036
  QString m_prompt;  // the prompt of static 1041

  // Moves m_input into the edit control and the prompt into its label (the dialog's opening).
  void InitDialog();

  void accept() override;

 private:
  QLineEdit* edit_;
  QLabel* prompt_;
};

// Shows GetUserInput with prompt and an empty edit control. 0 when the operator closed it
// with OK (*result then holds the text, possibly empty); 1 otherwise (*result untouched).
int RunGetUserInput(const QString& prompt, QString* result);
