#include "app/qt/dialog_units.h"

#include <QFontMetrics>
#include <QString>

namespace kr35 {
namespace {

// Rounds units * base / divisor to the nearest integer, like MulDiv.
int Scale(int units, int base, int divisor) {
  const long long product = static_cast<long long>(units) * base;
  const long long half = divisor / 2;
  return static_cast<int>(product >= 0 ? (product + half) / divisor : (product - half) / divisor);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int alphabetWidth = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseUnitX_ = (alphabetWidth / 26 + 1) / 2;  // the average of 52 letters, rounded
  baseUnitY_ = metrics.height();
  if (baseUnitX_ < 1) baseUnitX_ = 1;
  if (baseUnitY_ < 1) baseUnitY_ = 1;
}

int DialogUnits::ToPixelsX(int units) const {
  return Scale(units, baseUnitX_, 4);
}

int DialogUnits::ToPixelsY(int units) const {
  return Scale(units, baseUnitY_, 8);
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
  return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(width), ToPixelsY(height));
}

QFont DialogFont(const std::string& name, int pointSize) {
  QFont font(QString::fromStdString(name));
  font.setStyleHint(QFont::SansSerif);
  if (pointSize > 0) font.setPointSize(pointSize);
  return font;
}

}  // namespace kr35
