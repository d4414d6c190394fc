// The find dialog on a real results list, driven through its buttons and
// keys, with scripted message boxes.
#include "ui/find_dialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <memory>

#include "support/scripted_dialogs.h"
#include "support/table_file.h"
#include "ui/controls/sort_list.h"

using enum tv::MessageIcon;

class FindDialogTest : public QObject {
  Q_OBJECT

  tv::test::ScriptedDialogs dialogs_;
  std::unique_ptr<tv::SortListCtrl> list_;
  std::unique_ptr<tv::FindDialog> dialog_;

  // A new list of the files `names` and a new find dialog on it.
  void Open(const QStringList& names, bool descending) {
    dialog_.reset();
    list_ = std::make_unique<tv::SortListCtrl>();
    for (const QString& name : names) {
      list_->AddResultRow(tv::ResultRow(name.toStdString(), "1", "1", "0", "0", "0.00%"));
    }
    if (descending) list_->SortBy(0, false);
    list_->show();
    dialog_ = std::make_unique<tv::FindDialog>(list_.get(), dialogs_);
    dialog_->show();
    dialogs_.calls.clear();
  }
  template <typename T = QWidget>
  T* Child(const char* id) const {
    return dialog_->findChild<T*>(QString::fromLatin1(id));
  }

 private slots:
  void searchFollowsTheScriptsOfItsTableFile() {
    for (const QStringList& f : tv::test::ReadTable(QStringLiteral("ui/find_dialog.tsv"))) {
      const QByteArray line = f.join(QLatin1Char('\t')).toUtf8();
      if (f[0] == QLatin1String("rows")) {
        Open(f.mid(2), f[1] == QLatin1String("descending"));
        continue;
      }
      dialogs_.calls.clear();
      Child<QLineEdit>("1000")->setText(f[1]);
      Child<QCheckBox>("1026")->setChecked(f[2] == QLatin1String("whole"));
      Child<QAbstractButton>(f[0] == QLatin1String("next") ? "1006" : "1054")->click();
      QVERIFY2(Child<QLineEdit>("1027")->text() == f[3], line);
      QVERIFY2(list_->SelectedRow() == f[4].toInt(), line);
      QVERIFY2(dialogs_.Last() == f.value(5), line);
      const bool error = dialogs_.Last().startsWith(QLatin1String("Error:"));
      if (!dialogs_.calls.empty()) QCOMPARE(dialogs_.calls.back().icon, error ? Stop : Information);
      for (const char* id : {"1054", "1006", "2"}) QVERIFY(Child<QAbstractButton>(id)->isEnabled());
    }
  }

  void enterDoesNothingEscCloses() {
    Open({QStringLiteral("a.c")}, false);
    QVERIFY(QTest::qWaitForWindowActive(dialog_.get()));
    auto* text = Child<QLineEdit>("1000");
    text->setText(QStringLiteral("a"));
    for (const char* id : {"1000", "1054", "1006", "1026"}) {
      Child(id)->setFocus();
      QTest::keyClick(Child(id), Qt::Key_Return);
      QTest::keyClick(Child(id), Qt::Key_Enter);
      QVERIFY2(dialog_->isVisible(), id);
      QVERIFY2(Child<QLineEdit>("1027")->text().isEmpty(), id);
      QCOMPARE(list_->SelectedRow(), -1);
    }
    QTest::keyClick(text, Qt::Key_Escape);
    QVERIFY(!dialog_->isVisible());
    QCOMPARE(dialog_->result(), int(QDialog::Rejected));
    QVERIFY(dialogs_.calls.empty());
  }
};

QTEST_MAIN(FindDialogTest)
#include "find_dialog_test.moc"
