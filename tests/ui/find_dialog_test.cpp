// The find dialog on a real results list, driven through its buttons and
// keys, with scripted message boxes.
#include "ui/find_dialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <vector>

#include "support/scripted_dialogs.h"
#include "ui/controls/sort_list.h"

using tv::test::ScriptedDialogs;

namespace {

struct Step {
  const char* button;  // "1054" find, "1006" find next
  const char* text;
  bool whole_cell;
  const char* status;   // the status field afterwards
  int selected;         // the selected display row afterwards, -1 none
  const char* message;  // "caption: text" of a message box, or ""
};

struct Script {
  const char* name;
  std::vector<const char*> rows;  // file names, as added
  bool descending;                // sorted by name, descending, before the search
  std::vector<Step> steps;
};

}  // namespace

Q_DECLARE_METATYPE(Script)

class FindDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void search_data() {
    QTest::addColumn<Script>("script");
    const Script scripts[] = {
        {"upper case finds lower case unless the whole cell must match",
         {"util.h", "main.c"},
         false,
         {{"1054", "MAIN", false, "找到结果", 1, ""},
          {"1054", "MAIN", true, "查询完毕！", 1, ""},
          {"1054", "main.c", true, "找到结果", 1, ""}}},
        {"next after the last row ends the search, the next one starts at the top",
         {"x.c", "b.c", "x.h"},
         false,
         {{"1054", "x", false, "找到结果", 0, ""},
          {"1006", "x", false, "找到结果", 2, ""},
          {"1006", "x", false, "查询完毕！", 2, ""},
          {"1006", "x", false, "找到结果", 0, ""}}},
        {"rows are searched in the order shown",
         {"a1.c", "a2.c", "b.c"},
         true,
         {{"1054", "A", false, "找到结果", 1, ""}, {"1006", "a", false, "找到结果", 2, ""}}},
        {"blanks around the text are dropped",
         {"a.c", "b.c"},
         false,
         {{"1054", "  B.C ", true, "查询完毕！", -1, ""},
          {"1054", "  b.c ", true, "找到结果", 1, ""}}},
        {"a blank text is refused",
         {"a.c"},
         false,
         {{"1054", "   ", false, "", -1, "Error: 请输入查询的内容！"},
          {"1006", "", false, "", -1, "Error: 请输入查询的内容！"}}},
        {"an empty list is said so",
         {},
         false,
         {{"1054", "a", false, "", -1, "提示: 没有找到需要查询的数据！"}}},
    };
    for (const Script& s : scripts) QTest::newRow(s.name) << s;
  }

  void search() {
    QFETCH(Script, script);
    tv::SortListCtrl list;
    for (const char* name : script.rows) {
      list.AddResultRow(tv::ResultRow{{name, "1", "1", "0", "0", "0.00%"}});
    }
    if (script.descending) list.SortBy(0, false);
    list.show();
    ScriptedDialogs dialogs;
    tv::FindDialog dialog(&list, dialogs);
    dialog.show();
    auto* text = dialog.findChild<QLineEdit*>(QStringLiteral("1000"));
    auto* status = dialog.findChild<QLineEdit*>(QStringLiteral("1027"));
    auto* whole = dialog.findChild<QCheckBox*>(QStringLiteral("1026"));
    for (size_t i = 0; i < script.steps.size(); ++i) {
      const Step& step = script.steps[i];
      const QByteArray where = "step " + QByteArray::number(static_cast<int>(i));
      dialogs.calls.clear();
      text->setText(QString::fromUtf8(step.text));
      whole->setChecked(step.whole_cell);
      dialog.findChild<QAbstractButton*>(QString::fromLatin1(step.button))->click();
      QVERIFY2(status->text() == QString::fromUtf8(step.status), where);
      QVERIFY2(list.SelectedRow() == step.selected, where);
      QVERIFY2(dialogs.Last() == QString::fromUtf8(step.message), where);
      if (!dialogs.calls.empty()) {
        const bool error = dialogs.calls.back().caption == QLatin1String("Error");
        QCOMPARE(dialogs.calls.back().icon,
                 error ? tv::MessageIcon::Stop : tv::MessageIcon::Information);
      }
      for (const char* id : {"1054", "1006", "2"}) {
        QVERIFY(dialog.findChild<QAbstractButton*>(QString::fromLatin1(id))->isEnabled());
      }
    }
  }

  void enterDoesNothingEscCloses() {
    tv::SortListCtrl list;
    list.AddResultRow(tv::ResultRow{{"a.c", "1", "1", "0", "0", "0.00%"}});
    ScriptedDialogs dialogs;
    tv::FindDialog dialog(&list, dialogs);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto* text = dialog.findChild<QLineEdit*>(QStringLiteral("1000"));
    text->setText(QStringLiteral("a"));
    for (const char* id : {"1000", "1054", "1006", "1026"}) {
      auto* widget = dialog.findChild<QWidget*>(QString::fromLatin1(id));
      widget->setFocus();
      QTest::keyClick(widget, Qt::Key_Return);
      QTest::keyClick(widget, Qt::Key_Enter);
      QVERIFY2(dialog.isVisible(), id);
      QVERIFY2(dialog.findChild<QLineEdit*>(QStringLiteral("1027"))->text().isEmpty(), id);
      QCOMPARE(list.SelectedRow(), -1);
    }
    QTest::keyClick(text, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(dialogs.calls.empty());
  }
};

QTEST_MAIN(FindDialogTest)
#include "find_dialog_test.moc"
