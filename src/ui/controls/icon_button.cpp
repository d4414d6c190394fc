#include "ui/controls/icon_button.h"

#include <QKeyEvent>

namespace tv {

IconButton::IconButton(const QString& id, const QString& caption, const QIcon& icon,
                       QWidget* parent)
    : QToolButton(parent) {
  setObjectName(id);
  setText(caption);
  setIcon(icon);
  setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  setAutoRaise(true);
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::PointingHandCursor);
}

void IconButton::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (isEnabled()) click();
    event->accept();
    return;
  }
  QToolButton::keyPressEvent(event);
}

QIcon ProgramIcon(int id) {
  struct Entry {
    int id;
    const char* theme;
  };
  static constexpr Entry kThemeNames[] = {
      {128, "org.tallyvane.Tallyvane"}, {134, "media-playback-start"},
      {140, "document-open"},           {147, "folder-open"},
      {148, "text-x-generic"},          {151, "preferences-system"},
      {169, "document-save"},           {175, "help-about"},
      {180, "application-exit"},        {187, "document-print"},
      {190, "media-playback-stop"},
  };
  const QIcon own(QStringLiteral(":/icons/%1.png").arg(id));
  for (const Entry& e : kThemeNames) {
    if (e.id == id) return QIcon::fromTheme(QString::fromLatin1(e.theme), own);
  }
  return own;
}

}  // namespace tv
