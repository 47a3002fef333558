#include "box_limit.h"

#include <QLineEdit>

BoxLimit::BoxLimit(QLineEdit* edit, int limit) : QValidator(edit), limit_(limit) {
  length_ = edit->text().size();
  connect(edit, &QLineEdit::textChanged, this,
          [this](const QString& text) { length_ = text.size(); });
  edit->setValidator(this);
}

QValidator::State BoxLimit::validate(QString& input, int& /*pos*/) const {
  // Over the limit only when the change makes the text longer than it was.
  if (input.size() > limit_ && input.size() > length_) return Invalid;
  return Acceptable;
}

int BoxLimitOf(const QLineEdit* edit) {
  const auto* limit = qobject_cast<const BoxLimit*>(edit->validator());
  return limit == nullptr ? 0 : limit->Limit();
}
