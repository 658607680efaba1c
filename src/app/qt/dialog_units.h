// Converts dialog units into pixels the way Windows does for a dialog font:
// one horizontal unit is a quarter of the font's average character width,
// one vertical unit an eighth of its height.
#pragma once

#include <QFont>
#include <QRect>
#include <string>

namespace kr35 {

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  int BaseUnitX() const { return baseUnitX_; }
  int BaseUnitY() const { return baseUnitY_; }
  int ToPixelsX(int units) const;
  int ToPixelsY(int units) const;
  QRect ToPixels(int x, int y, int width, int height) const;

 private:
  int baseUnitX_;
  int baseUnitY_;
};

// The dialog font: the named face where it is installed, else the closest sans face.
QFont DialogFont(const std::string& name, int pointSize);

}  // namespace kr35
