// A toolbar button with its icon above its caption: flat until the mouse is
// over it, the hand cursor over it, and Enter presses it when it has focus.
#pragma once

#include <QToolButton>

namespace tv {

class IconButton : public QToolButton {
  Q_OBJECT
 public:
  IconButton(const QString& id, const QString& caption, const QIcon& icon, QWidget* parent);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

/// The icon of resource `id` (the program's own numbering): the desktop
/// theme's icon of that meaning when the theme has one, else our own.
QIcon ProgramIcon(int id);

}  // namespace tv
