#include "ui/controls/anchored_panel.h"

namespace tv {

AnchoredPanel::AnchoredPanel(QSize base, QWidget* parent) : QWidget(parent) {
  setMinimumSize(base);
  resize(base);
}

void AnchoredPanel::Place(QWidget* control, const QRect& rect, int anchors) {
  placed_.push_back({control, rect, anchors});
  Arrange(placed_.back());
}

void AnchoredPanel::Arrange(const Placed& placed) const {
  if (placed.control == nullptr) return;
  const int dx = std::max(0, width() - minimumWidth());
  const int dy = std::max(0, height() - minimumHeight());
  QRect rect = placed.rect;
  if (placed.anchors & kGrowWidth) rect.setWidth(rect.width() + dx);
  if (placed.anchors & kGrowHeight) rect.setHeight(rect.height() + dy);
  if (placed.anchors & kFollowBottom) rect.translate(0, dy);
  placed.control->setGeometry(rect);
}

void AnchoredPanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  for (Placed& placed : placed_) Arrange(placed);
}

}  // namespace tv
