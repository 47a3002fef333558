// dialog_units.h - placing controls in dialog units.
//
// A dialog unit is a quarter of the dialog font's average character width horizontally and an
// eighth of its height vertically, so a layout given in dialog units keeps its proportions
// whatever font the system substitutes. The average width is that of the 52 letters A-Z and
// a-z.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

struct DialogUnits {
  int baseX = 1;  // average character width in pixels
  int baseY = 1;  // character height in pixels

  // The base units of a font.
  static DialogUnits ForFont(const QFont& font);

  int X(int x) const;  // horizontal dialog units to pixels: x * baseX / 4, rounded
  int Y(int y) const;  // vertical dialog units to pixels: y * baseY / 8, rounded
  QRect Rect(int x, int y, int width, int height) const;
  QSize Size(int width, int height) const;
};
