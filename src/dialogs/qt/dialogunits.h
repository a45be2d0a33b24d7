#pragma once
// Dialog units to pixels: a quarter of the font's average character width
// across, an eighth of its height down, stretched down when the platform's
// edit fields need more than 12 units.
#include <QFontMetrics>
#include <QLineEdit>
#include <QRect>
#include <QWidget>
#include <algorithm>

#include "dialogs/qt/dialoglayout.h"

namespace lorvane {

class DialogUnits {
 public:
  explicit DialogUnits(const QWidget& dialog) {
    const QFontMetrics fm(dialog.font());
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    bx_ = std::max(1, (fm.horizontalAdvance(letters) / 26 + 1) / 2);
    QLineEdit probe;
    probe.setFont(dialog.font());
    by_ = std::max(fm.height(), (probe.sizeHint().height() * 8 + 11) / 12);
  }
  int x(int units) const { return units * bx_ / 4; }
  int y(int units) const { return units * by_ / 8; }
  QRect rect(const Place& p) const { return QRect(x(p.x), y(p.y), x(p.w), y(p.h)); }
  QSize size(const Place& p) const { return QSize(x(p.w), y(p.h)); }

 private:
  int bx_ = 6;
  int by_ = 13;
};

}  // namespace lorvane
