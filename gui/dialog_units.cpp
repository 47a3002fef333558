#include "dialog_units.h"

#include <QFontMetrics>
#include <QString>

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDivRounded(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long half = c / 2;
  const long long rounded = product >= 0 ? (product + half) / c : (product - half) / c;
  return static_cast<int>(rounded);
}

}  // namespace

DialogUnits DialogUnits::ForFont(const QFont& font) {
  static const QString kLetters =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const QFontMetrics metrics(font);
  DialogUnits units;
  // Average of the 52 letters, rounded: (width / 26 + 1) / 2.
  units.baseX = (metrics.horizontalAdvance(kLetters) / 26 + 1) / 2;
  units.baseY = metrics.height();
  if (units.baseX < 1) units.baseX = 1;
  if (units.baseY < 1) units.baseY = 1;
  return units;
}

int DialogUnits::X(int x) const { return MulDivRounded(x, baseX, 4); }
int DialogUnits::Y(int y) const { return MulDivRounded(y, baseY, 8); }

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
  return QRect(X(x), Y(y), X(width), Y(height));
}

QSize DialogUnits::Size(int width, int height) const { return QSize(X(width), Y(height)); }
