// A panel whose controls keep their places as it grows: each control is
// placed at its rectangle for the panel's smallest size, and grows with the
// panel's width or height, or moves with its bottom edge, as it is anchored.
#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <vector>

namespace tv {

class AnchoredPanel : public QWidget {
 public:
  /// How a control follows the panel beyond its smallest size (combinable).
  enum Anchor { kTopLeft = 0, kGrowWidth = 1, kGrowHeight = 2, kFollowBottom = 4 };

  /// A panel whose smallest size is `base`.
  AnchoredPanel(QSize base, QWidget* parent);
  /// Places `control` at `rect` (for the smallest size), anchored by `anchors`.
  void Place(QWidget* control, const QRect& rect, int anchors = kTopLeft);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct Placed {
    QPointer<QWidget> control;
    QRect rect;
    int anchors;
  };
  void Arrange(const Placed& placed) const;
  std::vector<Placed> placed_;
};

}  // namespace tv
