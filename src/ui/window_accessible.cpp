#include "ui/window_accessible.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QMenu>
#include <QPointer>

#include "ui/main_window.h"

namespace tv {

namespace {

// The open popup menus `window` owns, in the order it made them.
QList<QMenu*> OpenMenus(const QWidget* window) {
  QList<QMenu*> open;
  for (QMenu* menu : window->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) {
    if (menu->isVisible()) open << menu;
  }
  return open;
}

// The window: its controls, then its open popup menus.
class WindowAccessible : public QAccessibleWidget {
 public:
  explicit WindowAccessible(QWidget* window) : QAccessibleWidget(window, QAccessible::Window) {}

  int childCount() const override {
    return QAccessibleWidget::childCount() + static_cast<int>(OpenMenus(widget()).size());
  }
  QAccessibleInterface* child(int index) const override {
    const int own = QAccessibleWidget::childCount();
    if (index < own) return QAccessibleWidget::child(index);
    const QList<QMenu*> menus = OpenMenus(widget());
    return index - own < menus.size() ? QAccessible::queryAccessibleInterface(menus[index - own])
                                      : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const int own = QAccessibleWidget::indexOfChild(child);
    if (own >= 0 || child == nullptr) return own;
    const auto menu = OpenMenus(widget()).indexOf(qobject_cast<QMenu*>(child->object()));
    return menu < 0 ? -1 : QAccessibleWidget::childCount() + static_cast<int>(menu);
  }
};

// A popup menu of the window: the window is its parent, its items its children.
class PopupAccessible : public QAccessibleWidget {
 public:
  explicit PopupAccessible(QMenu* menu) : QAccessibleWidget(menu, QAccessible::PopupMenu) {}

  QAccessibleInterface* parent() const override {
    return QAccessible::queryAccessibleInterface(widget()->parentWidget());
  }
  int childCount() const override { return static_cast<int>(widget()->actions().size()); }
  QAccessibleInterface* child(int index) const override {
    const QList<QAction*> actions = widget()->actions();
    return index >= 0 && index < actions.size()
               ? QAccessible::queryAccessibleInterface(actions[index])
               : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    if (child == nullptr) return -1;
    return static_cast<int>(widget()->actions().indexOf(qobject_cast<QAction*>(child->object())));
  }
};

// An item of such a menu: its text, its state, and a press that closes the
// menu and chooses the item, as a click does.
class MenuItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  MenuItemAccessible(QMenu* menu, QAction* action) : menu_(menu), action_(action) {}

  bool isValid() const override { return menu_ != nullptr && action_ != nullptr; }
  QObject* object() const override { return action_; }
  QWindow* window() const override { return menu_->windowHandle(); }
  QAccessibleInterface* parent() const override {
    return QAccessible::queryAccessibleInterface(menu_);
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name ? action_->text().remove(QLatin1Char('&')) : QString();
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    const QRect area = menu_->actionGeometry(action_);
    return QRect(menu_->mapToGlobal(area.topLeft()), area.size());
  }
  QAccessible::Role role() const override {
    return action_->isSeparator() ? QAccessible::Separator : QAccessible::MenuItem;
  }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.invisible = !menu_->isVisible() || !action_->isVisible();
    state.disabled = !action_->isEnabled();
    state.focusable = !action_->isSeparator();
    state.focused = menu_->activeAction() == action_;
    return state;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                : nullptr;
  }
  QStringList actionNames() const override {
    return action_->isSeparator() ? QStringList() : QStringList{pressAction()};
  }
  void doAction(const QString& name) override {
    if (name != pressAction() || !action_->isEnabled() || action_->isSeparator()) return;
    menu_->hide();
    action_->trigger();
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  QPointer<QMenu> menu_;
  QPointer<QAction> action_;
};

// A menu the window owns directly, or null.
QMenu* WindowMenu(QObject* object) {
  auto* menu = qobject_cast<QMenu*>(object);
  return menu != nullptr && qobject_cast<MainWindow*>(menu->parentWidget()) != nullptr ? menu
                                                                                       : nullptr;
}

QAccessibleInterface* Factory(const QString&, QObject* object) {
  if (auto* window = qobject_cast<MainWindow*>(object)) return new WindowAccessible(window);
  if (QMenu* menu = WindowMenu(object)) return new PopupAccessible(menu);
  auto* action = qobject_cast<QAction*>(object);
  if (action != nullptr) {
    if (QMenu* menu = WindowMenu(action->parent())) return new MenuItemAccessible(menu, action);
  }
  return nullptr;
}

}  // namespace

void InstallWindowAccessibility() {
  static const bool installed = (QAccessible::installFactory(Factory), true);
  Q_UNUSED(installed);
}

}  // namespace tv
