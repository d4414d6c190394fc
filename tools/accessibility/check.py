"""Checks the running window over AT-SPI; run by tools/accessibility.sh."""
import sys
import time

import pyatspi
from gi.repository import GLib

WINDOW = "Tallyvane v3.7"
results = []


def check(ok, what):
    print(("ok    " if ok else "FAIL  ") + what)
    results.append(bool(ok))


def find(acc, pred, depth=0):
    if pred(acc):
        return acc
    if depth > 14:
        return None
    for child in acc:
        if child is not None:
            found = find(child, pred, depth + 1)
            if found is not None:
                return found
    return None


def named(role, name):
    return lambda a: a.getRoleName() == role and a.name == name


def press(acc):
    """Presses `acc`; the seconds the press took to answer."""
    action = acc.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    start = time.time()
    try:
        action.doAction(names.index("Press") if "Press" in names else 0)
    except Exception as error:  # a press that never answers times out
        print("      " + str(error))
        return 99.0
    return time.time() - start


def wait_for(get, seconds=10):
    end = time.time() + seconds
    while time.time() < end:
        value = get()
        if value:
            return value
        time.sleep(0.2)
    return None


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "Tallyvane":
            return app
    return None


def dialogs(app):
    return [w for w in app if w is not None and w.name != WINDOW]


def close_dialogs(app):
    for window in dialogs(app):
        button = find(window, lambda a: a.getRoleName() == "push button"
                      and a.name.replace(" ", "").split("(")[0] in ("取消", "确定", "退出"))
        if button is not None:
            press(button)
    wait_for(lambda: not dialogs(application()))


def open_menu(frame):
    return wait_for(lambda: next((c for c in frame if c is not None
                                  and c.getRoleName() == "popup menu"), None), 3)


app = wait_for(application, 20)
if app is None:
    sys.exit("accessibility: the window did not appear on the accessibility bus")
frame = wait_for(lambda: find(app, lambda a: a.getRoleName() == "frame" and a.name == WINDOW))
lines = wait_for(lambda: find(frame, lambda a: a.getRoleName() == "label"
                              and a.name.startswith("文件行总数: ")), 20)
check(lines is not None and "个文件)" in lines.name,
      "the totals read with their captions: %s" % (lines.name if lines else None))

# A new count announces the totals as they change.
announced = []


def on_name(event):
    if event.source is not None and event.source.name.startswith("文件行总数"):
        announced.append(event.source.name)


pyatspi.Registry.registerEventListener(on_name, "object:property-change:accessible-name")
press(find(frame, named("push button", "开始统计")))
GLib.timeout_add(3000, pyatspi.Registry.stop)
pyatspi.Registry.start()
pyatspi.Registry.deregisterEventListener(on_name, "object:property-change:accessible-name")
check(announced and announced[-1] == lines.name,
      "a count announces the new totals: %s" % (announced[-1] if announced else None))

for button in ("文件选择", "保存结果", "打印结果", "关于软件", "参数设置"):
    seconds = press(find(frame, named("push button", button)))
    opened = wait_for(lambda: dialogs(application()), 5)
    check(seconds < 1 and opened, "%s answers in %.2f s and opens %s"
          % (button, seconds, opened[0].name if opened else "nothing"))
    close_dialogs(app)


def press_menu_item(menu_name, item_text, dialog_title):
    """Finds the open popup menu among the window's children, presses its item
    by text and checks that the press answers at once and opens the dialog."""
    menu = open_menu(frame)
    item = menu and find(menu, named("menu item", item_text))
    check(item is not None and menu.parent.name == WINDOW and menu.getIndexInParent() >= 0,
          "%s is shown in the window with its items" % menu_name)
    if item is not None:
        seconds = press(item)
        opened = wait_for(lambda: dialogs(application()), 5)
        check(seconds < 1 and opened and opened[0].name == dialog_title,
              "%s answers in %.2f s and opens %s" % (item_text, seconds, dialog_title))
        close_dialogs(app)


press(find(frame, named("push button", "目录选择")))
press_menu_item("the directory button's menu", "单个目录...", "选择目录:")

table = find(frame, lambda a: a.getRoleName() == "table")
cell = table.queryTable().getAccessibleAt(1, 0)
check(cell.name.startswith("/") and "/examples/" in cell.name,
      "a name cell reads its whole path: %s" % cell.name)
box = cell.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
pyatspi.Registry.generateMouseEvent(box.x + 5, box.y + 5, "b1c")
time.sleep(0.3)
pyatspi.Registry.generateMouseEvent(box.x + 5, box.y + 5, "b3c")
press_menu_item("the list's menu", "查找文件...", "查找文件")

print("%d passed, %d failed" % (results.count(True), results.count(False)))
sys.exit(0 if all(results) else 1)
