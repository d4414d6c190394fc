// Dialog units: the layout grid the window's rectangles are given in. One
// horizontal unit is a quarter of the average width of the 52 letters A-Z
// and a-z in the dialog's font; one vertical unit an eighth of its height.
// (QFontMetrics::averageCharWidth() is the font file's own figure, which for
// CJK fonts is about a quarter too wide.)
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QRect>
#include <QSize>
#include <QString>
#include <cmath>

#include "engine/file_types.h"

namespace tv {

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font) {
    const QFontMetricsF metrics(font);
    unit_x_ = metrics.horizontalAdvance(
                  QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
              52.0 / 4.0;
    unit_y_ = metrics.height() / 8.0;
  }
  int X(int units) const { return static_cast<int>(std::lround(units * unit_x_)); }
  int Y(int units) const { return static_cast<int>(std::lround(units * unit_y_)); }
  QRect Rect(int x, int y, int w, int h) const {
    return QRect(QPoint(X(x), Y(y)), QPoint(X(x + w) - 1, Y(y + h) - 1));
  }
  QSize Size(int w, int h) const { return QSize(X(w), Y(h)); }

 private:
  double unit_x_ = 1, unit_y_ = 1;
};

/// A file type as a Qt name filter: its caption without tabs and its
/// patterns with ";" turned into blanks, "All Files" as "*" (Qt's "*.*"
/// would hide files without an extension).
inline QString QtNameFilter(const FileType& type) {
  QString caption = QString::fromUtf8(type.caption.data(), type.caption.size());
  caption.remove(QLatin1Char('\t'));
  QString patterns = QString::fromUtf8(type.patterns.data(), type.patterns.size());
  patterns.remove(QLatin1Char('\t'));
  patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
  patterns = patterns.simplified();
  if (type.index == kAllFilesType) patterns = QStringLiteral("*");
  return caption + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

}  // namespace tv
