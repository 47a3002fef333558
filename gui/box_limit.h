// box_limit.h - the text limit of an edit box.
//
// Typing and pasting cannot make the text longer than the limit. A text the program sets
// itself may be longer (a reply from the adapter, an address from MultiPair.ini); it is kept
// whole, so that the next save exchange can tell the operator, and it can be shortened.
#pragma once

#include <QValidator>

class QLineEdit;

class BoxLimit final : public QValidator {
  Q_OBJECT

 public:
  // Limits edit's text to limit characters; edit owns the validator.
  BoxLimit(QLineEdit* edit, int limit);

  int Limit() const { return limit_; }
  State validate(QString& input, int& pos) const override;

 private:
  int limit_;
  qsizetype length_ = 0;  // the length of the box's text after its last change
};

// The limit of the box (0: none).
int BoxLimitOf(const QLineEdit* edit);
