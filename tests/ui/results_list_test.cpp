// The results list: sorted by clicks on its header, long paths cut to fit,
// and the find dialog on it, driven through its buttons and keys with
// scripted message boxes.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <memory>

#include "support/scripted_dialogs.h"
#include "support/table_file.h"
#include "ui/controls/sort_list.h"
#include "ui/find_dialog.h"

using enum tv::MessageIcon;
using tv::ResultRow;
using tv::SortListCtrl;

class ResultsListTest : public QObject {
  Q_OBJECT

  static void Click(SortListCtrl& list, int column) {
    QHeaderView* header = list.horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
  }
  static QString Names(const SortListCtrl& list) {
    QString out;
    for (const ResultRow* row : list.RowsInDisplayOrder()) out += QString::fromStdString((*row)[0]);
    return out;
  }

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
  void headerClicksSortAndReverse() {
    SortListCtrl list;
    list.resize(600, 300);
    list.show();
    for (auto [name, lines, ratio] : {std::tuple{"a", "10", "0.29%"},
                                      {"b", "9", "0.28%"},
                                      {"c", "3000000000", "12.99%"},
                                      {"d", "2999999999", "13.00%"},
                                      {"e", "120 (35.50%)", "4.35%"},
                                      {"f", "9", "4.34%"}}) {
      list.AddResultRow({name, lines, "", "", "", ratio});
    }
    QCOMPARE(list.SortColumn(), -1);
    QVERIFY(!list.horizontalHeader()->isSortIndicatorShown());
    QCOMPARE(Names(list), QStringLiteral("abcdef"));
    Click(list, 1);
    QCOMPARE(Names(list), QStringLiteral("bfaedc"));  // 9, 9, 10, 120, 2999999999, 3000000000
    QVERIFY(list.SortAscending());
    Click(list, 1);
    QCOMPARE(Names(list), QStringLiteral("cdeabf"));  // reversed comparison, stable for the nines
    QCOMPARE(list.horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    Click(list, 5);
    QCOMPARE(Names(list), QStringLiteral("bafecd"));
    QVERIFY(list.SortAscending());
    // Odd display rows are grey.
    QCOMPARE(list.model()->index(1, 0).data(Qt::BackgroundRole).value<QBrush>().color(),
             QColor(238, 238, 238));
    QVERIFY(!list.model()->index(2, 0).data(Qt::BackgroundRole).isValid());
    // A refill keeps the arrow and appends new rows unsorted.
    list.ClearResults();
    list.AddResultRow({"y", "1", "", "", "", "9.00%"});
    list.AddResultRow({"x", "1", "", "", "", "1.00%"});
    QCOMPARE(Names(list), QStringLiteral("yx"));
    QVERIFY(list.horizontalHeader()->isSortIndicatorShown());
    QCOMPARE(list.horizontalHeader()->sortIndicatorSection(), 5);
    list.SelectRow(1);
    QCOMPARE(list.SelectedRow(), 1);
    QCOMPARE(list.RowAt(1)[0], std::string("x"));
  }

  // A path too wide for its room keeps its file name whole and cuts its folders in the middle;
  // a name too wide on its own is cut in its middle. The cell's tooltip is the whole path.
  void longPathsKeepTheirFileName() {
    const QFontMetrics metrics(QApplication::font());
    const QString path = QStringLiteral("/home/user/src/tallyvane/examples/asm/macros.inc");
    const int full = metrics.horizontalAdvance(path);
    QCOMPARE(tv::ElidePath(metrics, path, full), path);
    for (int width : {full * 2 / 3, metrics.horizontalAdvance(QStringLiteral("/ho…/macros.inc"))}) {
      const QString shown = tv::ElidePath(metrics, path, width);
      QVERIFY2(shown.endsWith(QStringLiteral("/macros.inc")) && shown.startsWith('/') &&
                   shown.contains(QStringLiteral("…")) && metrics.horizontalAdvance(shown) <= width,
               qPrintable(shown));
    }
    const QString cut = tv::ElidePath(metrics, path, metrics.horizontalAdvance("macros"));
    QVERIFY2(cut.startsWith('m') && cut.endsWith('c') && !cut.contains('/'), qPrintable(cut));

    // Counts as wide as they come fit their columns, the name column takes the rest of the list.
    SortListCtrl list;
    list.resize(900, 300);
    list.show();
    const ResultRow row(path.toStdString(), "1234567", "123456789012 (100.00%)", "0 (0.00%)",
                        "1234567 (100.00%)", "100.00%");
    list.AddResultRow(row);
    QCOMPARE(list.model()->index(0, 0).data(Qt::ToolTipRole).toString(), path);
    int counts = 0;
    for (int c = 1; c < 6; ++c) {
      QVERIFY(list.columnWidth(c) > list.fontMetrics().horizontalAdvance(
                                        QString::fromStdString(row[static_cast<size_t>(c)])));
      counts += list.columnWidth(c);
    }
    QCOMPARE(list.columnWidth(0), list.viewport()->width() - counts);
  }

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
};

QTEST_MAIN(ResultsListTest)
#include "results_list_test.moc"
