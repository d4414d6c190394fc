// Saving from the window: the dialog's answer, the extension, the question
// about an existing file, the file written and the message, with scripted
// dialogs and real files in a temporary folder.
#include "ui/save_results.h"

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QDir>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

#include "reports/excel_driver.h"
#include "reports/text_reports.h"
#include "support/scripted_dialogs.h"
#include "support/table_file.h"
#include "ui/controls/sort_list.h"
#include "ui/main_window.h"

using tv::test::ScriptedDialogs;

namespace {

tv::BatchResults TwoRows() {
  return {
      {{"/src/b.c", "10", "6", "2", "2", "25.00%"}, {"/src/a,1.c", "0", "0", "0", "0", "0.00%"}},
      {"10 (共2个文件)", "6", "2", "2", "25.00%"}};
}

// The file's bytes with its time stamp replaced by a fixed one.
QByteArray WithFixedStamp(QByteArray bytes) {
  static const QRegularExpression stamp(
      QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d"));
  return QString::fromLatin1(bytes)
      .replace(stamp, QStringLiteral("2007-05-09 14:03:07"))
      .toLatin1();
}

QByteArray Report(const QString& kind, const tv::BatchResults& results) {
  constexpr std::string_view kStamp = "2007-05-09 14:03:07";
  const tv::CodePage cp = tv::CodePage::Gbk;
  std::string text;
  if (kind == "htm") text = tv::HtmlReportText(results, kStamp, cp);
  if (kind == "csv") text = tv::CsvReportText(results, cp);
  if (kind == "txt") text = tv::TxtReportText(results, kStamp, false, cp);
  if (kind.endsWith("txt-short")) text = tv::TxtReportText(results, kStamp, true, cp);
  if (kind.startsWith("old+")) text = "old" + text;
  return QByteArray::fromStdString(text);
}

// What `path` holds: a report named as Report() names it, or the kind of entry.
QString Holds(const QString& path, const tv::BatchResults& results) {
  struct stat st;
  if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return QStringLiteral("nothing");
  if (S_ISLNK(st.st_mode)) return QStringLiteral("link");
  if (S_ISDIR(st.st_mode)) return QStringLiteral("folder");
  if (S_ISFIFO(st.st_mode)) return QStringLiteral("fifo");
  QFile file(path);
  file.open(QIODevice::ReadOnly);
  const QByteArray bytes = WithFixedStamp(file.readAll());
  if (bytes == "old") return QStringLiteral("old");
  if (bytes.startsWith("\xD0\xCF\x11\xE0")) return QStringLiteral("xls");
  for (const char* kind : {"htm", "csv", "txt", "txt-short", "old+txt-short"}) {
    if (bytes == Report(QLatin1String(kind), results)) return QLatin1String(kind);
  }
  return QStringLiteral("other");
}

QString Calls(const ScriptedDialogs& dialogs) {
  QStringList out;
  for (const ScriptedDialogs::Call& call : dialogs.calls) {
    if (call.caption == QLatin1String("save")) continue;
    const char* icon = call.icon == tv::MessageIcon::Question      ? "q"
                       : call.icon == tv::MessageIcon::Information ? "i"
                                                                   : "s";
    out << QLatin1String(icon) + QLatin1Char(' ') + call.caption + QStringLiteral(": ") +
               QString(call.text).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
  }
  return out.isEmpty() ? QStringLiteral("-") : out.join(QStringLiteral(" / "));
}

// Runs `body` on a thread without capabilities, so that permission bits bind
// even a test run as root.
template <class Body>
void WithoutCapabilities(Body body) {
  std::thread([&] {
    __user_cap_header_struct self{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capset, &self, none) == 0) body();
  }).join();
}

// Adds a row to the list while the save dialog is open.
class GrowingDialogs : public ScriptedDialogs {
 public:
  tv::SortListCtrl* list = nullptr;
  tv::SaveFileAnswer SaveFile(QWidget* parent, const tv::SaveFileRequest& request) override {
    list->AddResultRow({"late.c", "1", "1", "0", "0", "0.00%"});
    return ScriptedDialogs::SaveFile(parent, request);
  }
};

}  // namespace

class SaveResultsTest : public QObject {
  Q_OBJECT

 private slots:
  void cases_data() {
    QTest::addColumn<QStringList>("c");
    for (const QStringList& row : tv::test::ReadTable(QStringLiteral("ui/save_results.tsv"))) {
      QTest::newRow(qPrintable(row.mid(0, 4).join(QLatin1Char(' ')))) << row;
    }
  }

  void cases() {
    QFETCH(QStringList, c);
    QCOMPARE(c.size(), 9);
    QTemporaryDir dir;
    const QString typed = c[1], before = c[2], saved = dir.filePath(c[6]);
    if (typed.contains(QLatin1Char('/')) && !typed.startsWith(QLatin1String("no/"))) {
      QDir(dir.path()).mkpath(QFileInfo(saved).path());
    }
    const QByteArray target = QFile::encodeName(saved);
    if (before == "old" || before == "read-only") {
      QFile file(saved);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("old");
    }
    if (before == "read-only") ::chmod(target.constData(), 0444);
    if (before == "folder") QVERIFY(QDir(dir.path()).mkdir(c[6]));
    if (before == "fifo") QCOMPARE(::mkfifo(target.constData(), 0644), 0);
    if (before == "device") QVERIFY(QFile::link(QStringLiteral("/dev/null"), saved));

    ScriptedDialogs dialogs;
    static const QStringList kFilters = {"htm", "xls", "csv", "txt"};
    if (typed != "-") {
      dialogs.saves.push_back({true, dir.filePath(typed), int(kFilters.indexOf(c[0]))});
    }
    if (c[3] != "-") dialogs.yes_no.push_back(c[3] == "yes");
    tv::BatchResults results = TwoRows();
    if (c[4] == "long") results.rows[1][tv::kName] = std::string(40000, 'n');
    const tv::SaveSource source{[] { return 2; }, [&](int) { return results; }};
    const tv::SaveOptions options{
        tv::CodePage::Gbk, dir.path(),
        c[4] == "bare" ? std::vector<std::string>{} : tv::InstalledDrivers()};
    auto save = [&] { tv::SaveResultsCommand(nullptr, dialogs, source, options); };
    if (before == "read-only") {
      WithoutCapabilities(save);
    } else {
      save();
    }
    QCOMPARE(Calls(dialogs), c[7]);
    QCOMPARE(Holds(saved, results), c[8]);
  }

  // The window asks with its title, filters and the home folder, and saves
  // the rows it held when the dialog opened, in the order they are shown.
  void window() {
    QTemporaryDir dir;
    GrowingDialogs dialogs;
    tv::MainWindow w({dir.filePath(QStringLiteral("Setup.ini")).toStdString(), tv::CodePage::Gbk},
                     dialogs);
    dialogs.list = w.Results();
    tv::BatchResults results = TwoRows();
    for (const tv::ResultRow& row : results.rows) w.Results()->AddResultRow(row);
    const int field_ids[5] = {1008, 1009, 1010, 1011, 1051};
    const std::string* summary[5] = {&results.summary.lines, &results.summary.code,
                                     &results.summary.comment, &results.summary.blank,
                                     &results.summary.ratio};
    for (int i = 0; i < 5; ++i) {
      w.findChild<QLabel*>(QString::number(field_ids[i]))
          ->setText(QString::fromStdString(*summary[i]));
    }
    w.Results()->SortBy(tv::kName, true);
    std::swap(results.rows[0], results.rows[1]);
    dialogs.saves.push_back({true, dir.filePath(QStringLiteral("r")), 2});
    w.RunCommand(1015);
    QCOMPARE(dialogs.calls.size(), size_t{2});
    const tv::OpenFileRequest& asked = dialogs.calls[0].request;
    QCOMPARE(dialogs.calls[0].text, QStringLiteral("请指定存盘文件名"));
    QCOMPARE(
        asked.filters.join(QLatin1Char('|')),
        QStringLiteral("HTML Files(*.htm)|EXCEL Files(*.xls)|CSV Files(*.csv)|TXT Files(*.txt)"));
    QCOMPARE(asked.initial_folder, QDir::homePath());
    QCOMPARE(dialogs.Last(), QStringLiteral("提示: 文件保存完毕！ "));
    QCOMPARE(Holds(dir.filePath(QStringLiteral("r.csv")), results), QStringLiteral("csv"));
  }
};

QTEST_MAIN(SaveResultsTest)
#include "save_results_test.moc"
