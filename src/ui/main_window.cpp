#include "ui/main_window.h"

#include <fcntl.h>
#include <unistd.h>

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSettings>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <deque>
#include <mutex>
#include <utility>

#include "engine/file_types.h"
#include "platform/atomic_file.h"
#include "platform/ini.h"
#include "platform/program_paths.h"
#include "platform/single_instance.h"
#include "reports/excel_driver.h"
#include "reports/result_texts.h"
#include "runs/remembered_paths.h"
#include "settings/settings.h"
#include "ui/about_dialog.h"
#include "ui/controls/anchored_panel.h"
#include "ui/controls/icon_button.h"
#include "ui/controls/sort_list.h"
#include "ui/dialog_units.h"
#include "ui/find_dialog.h"
#include "ui/printing.h"
#include "ui/properties_dialog.h"
#include "ui/save_results.h"
#include "ui/settings_dialog.h"
#include "ui/source_viewer.h"
#include "ui/window_accessible.h"

// The icons live in a static library, whose resources are registered by hand.
static void RegisterIcons() {
  Q_INIT_RESOURCE(icons);
}

namespace tv {

namespace {

QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string S(const QString& s) {
  return s.toStdString();
}

// The toolbar: id, caption, icon, dialog-unit rectangle.
struct ButtonSpec {
  int id;
  const char* caption;
  int icon;
  int x, y, w, h;
};
constexpr ButtonSpec kButtons[] = {
    {1012, "文件选择", 140, 12, 8, 39, 36},  {1013, "目录选择", 147, 52, 8, 39, 36},
    {1006, "开始统计", 134, 104, 8, 39, 36}, {1016, "查看源码", 148, 144, 8, 39, 36},
    {1019, "参数设置", 151, 184, 8, 39, 36}, {1015, "保存结果", 169, 224, 8, 39, 36},
    {1031, "打印结果", 187, 264, 8, 39, 36}, {1017, "关于软件", 175, 314, 8, 39, 36},
    {1018, "退出程序", 180, 354, 8, 39, 36},
};

// The captions and value fields of the totals.
struct FieldSpec {
  int id;
  const char* caption;
  int cx, cy, cw, ch;  // the caption's rectangle
  int x, y, w, h;      // the value's rectangle
};
constexpr FieldSpec kFields[] = {
    {1008, "文件行总数:", 22, 233, 44, 11, 72, 232, 141, 13},
    {1009, "代码行总数:", 223, 233, 44, 11, 273, 232, 141, 13},
    {1010, "注释行总数:", 22, 250, 44, 11, 72, 249, 141, 13},
    {1011, "空白行总数:", 223, 250, 44, 11, 273, 249, 141, 13},
    {1051, "代码注释率:", 22, 268, 44, 11, 72, 267, 342, 13},
};

// The size of the window's client area below the menu bar, in dialog units.
constexpr int kClientWidth = 436, kClientHeight = 310;

constexpr char kCaptionError[] = "错误";
constexpr char kCaptionNotice[] = "提示";

}  // namespace

// Queues every call of the run to the window's thread, in order, and never
// waits for it: the worker goes on counting while the window catches up. The
// window takes the queue in slices of at most a few milliseconds, so a run
// that adds thousands of rows at once never keeps the window from its other
// events.
class MainWindow::QueuedView : public RunView {
 public:
  explicit QueuedView(MainWindow* window) : window_(window) {}

  void SetSelectionButtonsEnabled(bool enabled) override {
    Post([=](MainWindow* w) { w->OnSelectionButtonsEnabled(enabled); });
  }
  void SetStartButtonFace(StartButtonFace face) override {
    Post([=](MainWindow* w) { w->OnStartButtonFace(face); });
  }
  void SetStartButtonEnabled(bool enabled) override {
    Post([=](MainWindow* w) { w->OnStartButtonEnabled(enabled); });
  }
  void ClearResults() override {
    Post([](MainWindow* w) { w->OnClearResults(); });
  }
  void ShowNotice(std::string_view text) override {
    Post([text = Q(text)](MainWindow* w) { w->OnNotice(text); });
  }
  void SetProgressRange(uint64_t maximum, bool stepping) override {
    Post([=](MainWindow* w) { w->OnProgressRange(maximum, stepping); });
  }
  void SetProgressPosition(uint64_t position) override {
    Post([=](MainWindow* w) { w->OnProgressPosition(position); });
  }
  void AddRow(const ResultRow& row) override {
    Post([row](MainWindow* w) { w->OnAddRow(row); });
  }
  void SetSummary(const SummaryTexts& summary) override {
    Post([summary](MainWindow* w) { w->OnSummary(summary); });
  }
  void RefreshCursor() override {
    Post([](MainWindow* w) { w->OnRefreshCursor(); });
  }

 private:
  using Call = std::function<void(MainWindow*)>;

  void Post(Call call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
    if (!drain_posted_) {
      drain_posted_ = true;
      PostDrain();
    }
  }
  void PostDrain() {
    QMetaObject::invokeMethod(
        window_, [this] { Drain(); }, Qt::QueuedConnection);
  }
  void Drain() {
    QElapsedTimer slice;
    slice.start();
    for (;;) {
      Call call;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (calls_.empty()) {
          drain_posted_ = false;
          return;
        }
        if (slice.elapsed() >= 8) {
          PostDrain();  // the rest after the window's other events
          return;
        }
        call = std::move(calls_.front());
        calls_.pop_front();
      }
      call(window_);
    }
  }

  MainWindow* window_;
  std::mutex mutex_;
  std::deque<Call> calls_;
  bool drain_posted_ = false;
};

MainWindow::MainWindow(WindowSettings settings, Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent),
      settings_(std::move(settings)),
      dialogs_(dialogs),
      view_(std::make_unique<QueuedView>(this)),
      controller_(std::make_unique<RunController>(flags_, state_, *view_)),
      selection_(settings_.code_page) {
  InstallWindowAccessibility();
  setObjectName("102");
  setWindowTitle(QString::fromLatin1(kWindowTitle));
  RegisterIcons();
  setWindowIcon(ProgramIcon(128));
  BuildControls();
  BuildMenus();
  RestoreSize();
  // The system menu's About item and the painting of a minimised window have
  // no place on this platform: the window manager draws both.
  WriteDefaultSettings(settings_.settings_path, settings_.code_page);
  progress_timer_ = new QTimer(this);
  progress_timer_->setInterval(50);
  connect(progress_timer_, &QTimer::timeout, this, &MainWindow::UpdateProgressBar);
  qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
  qApp->removeEventFilter(this);
  if (end_signal_pipe_[0] >= 0) {
    RemoveTemporaryFilesOnSignals();
    ::close(end_signal_pipe_[0]);
    ::close(end_signal_pipe_[1]);
  }
  // The worker must be gone before the state it writes goes away; the abort
  // cuts the file in hand short, so this never waits for a large file.
  controller_->Abort();
  controller_.reset();
}

QString MainWindow::DefaultSizeFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/tallyvane/window.ini");
}

void MainWindow::RestoreSize() {
  // The laid-out size is the first and the smallest; a size the user chose
  // comes back at the next start.
  const QSize base(centralWidget()->width(),
                   centralWidget()->height() + menuBar()->sizeHint().height());
  setMinimumSize(base);
  resize(base);
  if (settings_.size_file.isEmpty()) return;
  QSettings kept(settings_.size_file, QSettings::IniFormat);
  resize(kept.value(QStringLiteral("Window/Size")).toSize().expandedTo(base));
  if (kept.value(QStringLiteral("Window/Maximized")).toBool()) {
    setWindowState(windowState() | Qt::WindowMaximized);
  }
}

void MainWindow::KeepSize() {
  if (settings_.size_file.isEmpty()) return;
  QSettings kept(settings_.size_file, QSettings::IniFormat);
  const bool maximized = isMaximized();
  // A maximised window keeps the size it had before, for when it is restored.
  const QSize size = maximized ? normalGeometry().size() : this->size();
  if (size.isValid()) kept.setValue(QStringLiteral("Window/Size"), size);
  kept.setValue(QStringLiteral("Window/Maximized"), maximized);
}

void MainWindow::BuildControls() {
  // The layout is the smallest window; a larger one gives its extra room
  // to the list, and the totals and the bar keep to the bottom edge.
  using Anchor = AnchoredPanel::Anchor;
  const DialogUnits du(font());
  auto* client = new AnchoredPanel(du.Size(kClientWidth, kClientHeight), this);
  setCentralWidget(client);

  auto* frame = new QGroupBox(client);
  client->Place(frame, du.Rect(7, 0, 422, 294), Anchor::kGrowWidth | Anchor::kGrowHeight);
  auto* totals = new QGroupBox(QStringLiteral("统计结果"), client);
  client->Place(totals, du.Rect(13, 216, 409, 71), Anchor::kGrowWidth | Anchor::kFollowBottom);

  for (const ButtonSpec& b : kButtons) {
    auto* button = new IconButton(QString::number(b.id), QString::fromUtf8(b.caption),
                                  ProgramIcon(b.icon), client);
    client->Place(button, du.Rect(b.x, b.y, b.w, b.h));
    button->setIconSize(QSize(du.X(16), du.X(16)));
    buttons_[b.id] = button;
    if (b.id != 1013) {
      connect(button, &QToolButton::clicked, this, [this, button] { QueueCommand(button); });
    }
  }
  for (auto [x, y, w, h] : {std::array{97, 9, 1, 36}, std::array{308, 9, 1, 36}}) {
    auto* line = new QFrame(client);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    client->Place(line, du.Rect(x, y, w, h).adjusted(-1, 0, 1, 0));
  }
  auto* rule = new QFrame(client);
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);
  client->Place(rule, du.Rect(7, 46, 422, 1).adjusted(0, -1, 0, 1), Anchor::kGrowWidth);

  auto* prompt = new QLabel(QStringLiteral("请选择需统计的文件名或文件目录:"), client);
  client->Place(prompt, du.Rect(13, 55, 135, 9).adjusted(0, 0, du.X(40), 2));
  edit_ = new QLineEdit(client);
  edit_->setObjectName("1000");
  edit_->setReadOnly(true);
  client->Place(edit_, du.Rect(13, 68, 409, 12).adjusted(0, -1, 0, 1), Anchor::kGrowWidth);
  edit_->setAccessibleName(prompt->text());
  prompt->setBuddy(edit_);

  list_ = new SortListCtrl(client);
  list_->setObjectName("1002");
  client->Place(list_, du.Rect(13, 88, 409, 118), Anchor::kGrowWidth | Anchor::kGrowHeight);
  list_->setAccessibleName(QStringLiteral("统计结果列表"));
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { ShowContextMenu(list_->viewport()->mapToGlobal(pos)); });
  // A double-click on a row views it; one on the empty part of the list
  // reaches no row and does nothing.
  connect(list_, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& index) { ViewRow(index.row()); });

  for (const FieldSpec& f : kFields) {
    auto* caption = new QLabel(QString::fromUtf8(f.caption), client);
    client->Place(caption, du.Rect(f.cx, f.cy, f.cw, f.ch).adjusted(0, 0, du.X(8), 2),
                  Anchor::kFollowBottom);
    auto* value = new QLabel(client);
    value->setObjectName(QString::number(f.id));
    // The ratio's field spans the box and grows with it.
    client->Place(value, du.Rect(f.x, f.y, f.w, f.h),
                  Anchor::kFollowBottom | (f.id == 1051 ? Anchor::kGrowWidth : 0));
    value->setAccessibleName(caption->text());
    value->setProperty("caption", caption->text());
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    fields_[f.id] = value;
  }

  bar_ = new QProgressBar(client);
  bar_->setObjectName("1005");
  bar_->setRange(0, 10000);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  client->Place(bar_, du.Rect(7, 297, 422, 6), Anchor::kGrowWidth | Anchor::kFollowBottom);
  bar_->setAccessibleName(QStringLiteral("统计进度"));

  frame->lower();
  totals->lower();
}

QAction* MainWindow::AddCommand(QMenu* menu, int id, const QString& text) {
  QAction* action = menu->addAction(text);
  action->setObjectName(QString::number(id));
  connect(action, &QAction::triggered, this, [this, action] { QueueCommand(action); });
  return action;
}

void MainWindow::BuildMenus() {
  // Menu bar 217, grouped by what the commands act on:
  //   文件:  32776 选择文件, 32777 单个目录, 32778 多个目录, 32796 选择配置文件,
  //          32782 开始统计, 32790 保存结果, 32791 打印结果, 32779 退出
  //   查看:  32792 查看源码, 32774 文件属性, 32775 查找文件
  //   工具:  32786 参数设置
  //   帮助:  32793 使用说明, 32789 软件主页, 32795 问题与建议, 32788 关于软件
  QMenuBar* bar = menuBar();
  bar->setObjectName("217");
  QMenu* file = bar->addMenu(QStringLiteral("文件(&F)"));
  AddCommand(file, 32776, QStringLiteral("选择文件..."));
  AddCommand(file, 32777, QStringLiteral("单个目录..."));
  AddCommand(file, 32778, QStringLiteral("多个目录..."));
  AddCommand(file, 32796, QStringLiteral("选择配置文件..."));
  file->addSeparator();
  start_action_ = AddCommand(file, 32782, Q(kStartCaption));
  file->addSeparator();
  AddCommand(file, 32790, QStringLiteral("保存结果"));
  AddCommand(file, 32791, QStringLiteral("打印结果"));
  file->addSeparator();
  AddCommand(file, 32779, QStringLiteral("退出(&X)"));
  // The only item that changes when its menu opens: start or stop.
  connect(file, &QMenu::aboutToShow, this, [this] {
    start_action_->setText(Q(flags_.counting != 0 ? kStopCaption : kStartCaption));
  });
  QMenu* view = bar->addMenu(QStringLiteral("查看(&V)"));
  AddCommand(view, 32792, QStringLiteral("查看源码"));
  AddCommand(view, 32774, QStringLiteral("文件属性..."));
  AddCommand(view, 32775, QStringLiteral("查找文件..."));
  QMenu* tools = bar->addMenu(QStringLiteral("工具(&T)"));
  AddCommand(tools, 32786, QStringLiteral("参数设置(&O)..."));
  QMenu* help = bar->addMenu(QStringLiteral("帮助(&H)"));
  AddCommand(help, 32793, QStringLiteral("使用说明"));
  AddCommand(help, 32789, QStringLiteral("软件主页"));
  AddCommand(help, 32795, QStringLiteral("问题与建议"));
  help->addSeparator();
  AddCommand(help, 32788, QStringLiteral("关于软件..."));

  // Menu 219 on button 1013, opened below the button's left edge.
  directory_menu_ = new QMenu(this);
  directory_menu_->setObjectName("219");
  AddCommand(directory_menu_, 32802, QStringLiteral("单个目录..."));
  AddCommand(directory_menu_, 32803, QStringLiteral("多个目录..."));
  IconButton* dir_button = buttons_[1013];
  connect(dir_button, &QToolButton::clicked, this, [this, dir_button] {
    directory_menu_->popup(dir_button->mapToGlobal(QPoint(0, dir_button->height())));
  });

  // Menu 132 on the results list.
  context_menu_ = new QMenu(this);
  context_menu_->setObjectName("132");
  AddCommand(context_menu_, 32771, QStringLiteral("查看源码"));
  AddCommand(context_menu_, 32774, QStringLiteral("文件属性..."));
  AddCommand(context_menu_, 32775, QStringLiteral("查找文件..."));
  context_menu_->addSeparator();
  AddCommand(context_menu_, 32772, QStringLiteral("保存结果"));
  AddCommand(context_menu_, 32773, QStringLiteral("打印结果"));
}

QMenu* MainWindow::PrepareContextMenu() {
  const bool rows = list_->RowCount() > 0;
  const int selected = list_->SelectedRow();
  const bool named = selected >= 0 && !list_->RowAt(selected)[kName].empty();
  const bool counting = flags_.counting != 0;
  const bool has_text = !edit_->text().trimmed().isEmpty();
  auto set = [this](const char* id, bool on) {
    context_menu_->findChild<QAction*>(QString::fromLatin1(id))->setEnabled(on);
  };
  set("32771", rows && named);
  set("32774", !counting && rows && named);
  set("32775", rows && (!counting || named));
  set("32772", has_text);
  set("32773", !counting && rows);
  return context_menu_;
}

void MainWindow::ShowContextMenu(const QPoint& global_pos) {
  PrepareContextMenu()->popup(global_pos);
}

void MainWindow::QueueCommand(QObject* source) {
  // The click (or key, or a screen reader's press) returns before the
  // command opens its dialog; the command then runs as a click would have,
  // unless its control was disabled meanwhile or a modal dialog opened,
  // which would have kept the click from reaching the window.
  QMetaObject::invokeMethod(
      this,
      [this, from = QPointer<QObject>(source)] {
        if (from == nullptr || QApplication::activeModalWidget() != nullptr) return;
        auto* widget = qobject_cast<QWidget*>(from);
        auto* action = qobject_cast<QAction*>(from);
        if ((widget != nullptr && !widget->isEnabled()) ||
            (action != nullptr && !action->isEnabled())) {
          return;
        }
        RunCommand(from->objectName().toInt());
      },
      Qt::QueuedConnection);
}

void MainWindow::RunCommand(int id) {
  // A hand-over that arrives while a command is under way (during one of
  // its messages, say) waits until the command has made all its changes.
  ++command_depth_;
  DispatchCommand(id);
  --command_depth_;
  FlushHandOver();
}

void MainWindow::DispatchCommand(int id) {
  switch (id) {
    case 1012:
      FileSelectionCommand(/*guarded=*/false);
      return;
    case 32776:
      FileSelectionCommand(/*guarded=*/true);
      return;
    case 32796:
      SelectionFileCommand();
      return;
    case 1006:
    case 32782:
      StartCommand();
      return;
    case 1018:
    case 32779:
      close();
      return;
    case 32777:
    case 32802:
      if (Guard(QStringLiteral("请统计完后再选择新的目录！"))) return;
      SingleDirectoryCommand();
      return;
    case 32778:
    case 32803:
      if (Guard(QStringLiteral("请统计完后再选择新的目录！"))) return;
      FolderListCommand();
      return;
    case 32775:
      FindCommand();
      return;
    case 1019:
    case 32786:
      SettingsCommand();
      return;
    case 1015:
    case 32790:
      SaveCommand(/*tested=*/true);
      return;
    case 32772:
      SaveCommand(/*tested=*/false);
      return;
    case 1031:
    case 32791:
      PrintCommand(/*tested=*/true);
      return;
    case 32773:
      PrintCommand(/*tested=*/false);
      return;
    case 1016:
    case 32792:
      ViewCommand(/*report_missing=*/true);
      return;
    case 32771:
      ViewCommand(/*report_missing=*/false);
      return;
    case 32774:
      PropertiesCommand();
      return;
    case 1017:
    case 32788:
      AboutCommand();
      return;
    case 32793:
      HelpCommand(QString());
      return;
    case 32789:  // the project's page: the manual's section about it
      HelpCommand(QStringLiteral("about-this-project"));
      return;
    case 32795:  // problems and suggestions: how to report them
      HelpCommand(QStringLiteral("reporting-a-problem"));
      return;
    default:
      break;
  }
}

// --- View and properties -----------------------------------------------------

SourceFile MainWindow::FileOfRow(const ResultRow& row) const {
  SourceFile file;
  file.path = row.path;
  file.row = row;
  file.family = row.family;
  file.code_page = settings_.code_page;
  return file;
}

void MainWindow::ViewCommand(bool report_missing) {
  const int row = list_->SelectedRow();
  if (row < 0) {
    if (report_missing) Error(QStringLiteral("请先选择查看的文件！"));
    return;
  }
  ViewRow(row);
}

void MainWindow::ViewRow(int display_row) {
  if (display_row < 0 || display_row >= list_->RowCount()) return;
  const SourceFile file = FileOfRow(list_->RowAt(display_row));
  const bool default_program = IsFlagOn(ReadProfileString(
      settings_.settings_path, kSectionOther, "ViewDefaultProg", "", 256, settings_.code_page));
  if (default_program) {
    desktop_->OpenWithDefaultProgram(file.path);
  } else {
    desktop_->ViewSource(this, file);
  }
}

void MainWindow::PropertiesCommand() {
  const int row = list_->SelectedRow();
  if (row < 0) {
    Error(QStringLiteral("请先选择查看的文件！"));
    return;
  }
  desktop_->ShowProperties(this, FileOfRow(list_->RowAt(row)));
}

// --- About and the manual ----------------------------------------------------

void MainWindow::AboutCommand() {
  // Modal like the find dialog, without a nested event loop.
  auto* dialog = new AboutDialog(this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::ApplicationModal);
  dialog->show();
}

void MainWindow::HelpCommand(const QString& fragment) {
  // Beside the program, else where an install puts it (share/doc/tallyvane).
  const QString path = manual_folder_.isEmpty()
                           ? QFile::decodeName(ManualPath(ProgramDirectory()).c_str())
                           : QDir(manual_folder_).filePath(QStringLiteral("Help.html"));
  if (!QFileInfo(path).isFile()) {
    Error(QStringLiteral("未发现Help.html文件！"));
    return;
  }
  QUrl url = QUrl::fromLocalFile(path);
  if (!fragment.isEmpty()) url.setFragment(fragment);
  desktop_->OpenInBrowser(url);
}

void MainWindow::SaveCommand(bool tested) {
  if (tested) {
    if (list_->RowCount() == 0) {
      Error(QStringLiteral("没有需要保存的统计数据！"));
      return;
    }
    if (Guard(QStringLiteral("请统计完后再执行保存操作！"))) return;
  }
  SaveSource source;
  source.row_count = [this] { return list_->RowCount(); };
  source.results = [this](int count) {
    BatchResults results;
    for (const ResultRow* row : list_->RowsInDisplayOrder()) {
      if (static_cast<int>(results.rows.size()) >= count) break;
      results.rows.push_back(*row);
    }
    results.summary = {S(fields_[1008]->text()), S(fields_[1009]->text()), S(fields_[1010]->text()),
                       S(fields_[1011]->text()), S(fields_[1051]->text())};
    results.selection = S(counted_selection_);
    return results;
  };
  SaveResultsCommand(this, dialogs_, source,
                     {settings_.code_page, QDir::homePath(), InstalledDrivers()});
}

void MainWindow::PrintCommand(bool tested) {
  if (tested) {
    if (list_->RowCount() == 0) {
      Error(QStringLiteral("没有需要打印的数据！ "));
      return;
    }
    if (Guard(QStringLiteral("请统计完后再执行打印操作！"))) return;
  }
  // The headers keep their blanks: they set the printed columns' widths.
  std::vector<std::string> headers;
  for (const ColumnHeader& column : ParseColumnSpec(kColumnSpec)) headers.push_back(column.text);
  const std::vector<const ResultRow*> rows = list_->RowsInDisplayOrder();
  const SummaryTexts summary{S(fields_[1008]->text()),
                             S(fields_[1009]->text()),
                             S(fields_[1010]->text()),
                             S(fields_[1011]->text()),
                             {}};
  PrintResults(this, dialogs_, {headers, rows, summary}, settings_.code_page,
               QString::fromLatin1(kWindowTitle));
}

void MainWindow::Notice(const QString& text) {
  dialogs_.Message(this, MessageIcon::Information, QString::fromUtf8(kCaptionNotice), text);
}

void MainWindow::Error(const QString& text) {
  dialogs_.Message(this, MessageIcon::Stop, QString::fromUtf8(kCaptionError), text);
}

bool MainWindow::Guard(const QString& text) {
  if (flags_.counting == 0) return false;
  Notice(text);
  return true;
}

// --- Selections --------------------------------------------------------------

void MainWindow::ResetResultsDisplay() {
  if (flags_.progress_option != 0) bar_->setValue(0);
  list_->ClearResults();
  ShowSummary({});
}

void MainWindow::ShowSummary(const SummaryTexts& summary) {
  for (auto [id, text] : {std::pair{1008, &summary.lines},
                          {1009, &summary.code},
                          {1010, &summary.comment},
                          {1011, &summary.blank},
                          {1051, &summary.ratio}}) {
    QLabel* field = fields_[id];
    field->setText(Q(*text));
    // A screen reader reads caption and value as one name ("文件行总数: 226
    // (共28个文件)") and hears it change.
    const QString caption = field->property("caption").toString();
    field->setAccessibleName(text->empty() ? caption : caption + QLatin1Char(' ') + Q(*text));
  }
}

void MainWindow::ShowSelectionChange(const SelectionChange& change) {
  if (change.changed) {
    if (change.reset_display) ResetResultsDisplay();
    edit_->setText(Q(selection_.text()));
    edit_->setCursorPosition(0);
    buttons_[1006]->setEnabled(selection_.start_enabled());
  }
  if (!change.error.empty()) Error(Q(change.error));
}

void MainWindow::FileSelectionCommand(bool guarded) {
  if (guarded && Guard(QStringLiteral("请统计完后再选择新的文件！"))) return;
  const std::string& settings = settings_.settings_path;
  const CodePage cp = settings_.code_page;
  OpenFileRequest request;
  request.title = QStringLiteral("请选择文件类型和文件名");
  for (const FileType& type : kFileTypes) request.filters << QtNameFilter(type);
  const long long stored = std::atoll(ReadRememberedPath(settings, "SelectType", cp).c_str());
  request.initial_filter = stored >= 1 && stored <= 17 ? static_cast<int>(stored) - 1 : 0;
  request.initial_folder = Q(ReadRememberedPath(settings, "Path1", cp));
  request.multiple = true;
  const OpenFileAnswer answer = dialogs_.OpenFiles(this, request);
  // A cancelled dialog keeps the previous selection whole.
  std::optional<FilePickOutcome> outcome;
  if (answer.accepted) {
    FilePick pick;
    pick.file_type = answer.filter + 1;
    for (const QString& path : answer.paths) pick.paths.push_back(PathOnDisk(path, cp));
    GatherContext ctx;
    ctx.settings_path = settings;
    ctx.code_page = cp;
    ctx.rules = ReadCountableRules(settings, cp);
    const bool show_names =
        IsFlagOn(ReadProfileString(settings, kSectionOther, "ShowSelFileName", "", 256, cp));
    outcome = ApplyFilePick(pick, show_names, ctx);
  }
  ShowSelectionChange(selection_.PickFiles(outcome));
}

void MainWindow::SelectionFileCommand() {
  if (Guard(QStringLiteral("请统计完后再执行新的操作！"))) return;
  OpenFileRequest request;
  request.title = QStringLiteral("请选择配置文件");
  request.filters << QStringLiteral("All Files (*.*) (*)");
  request.initial_folder =
      Q(ReadRememberedPath(settings_.settings_path, "Path3", settings_.code_page));
  const OpenFileAnswer answer = dialogs_.OpenFiles(this, request);
  std::optional<std::string> path;
  if (answer.accepted && !answer.paths.isEmpty())
    path = PathOnDisk(answer.paths.front(), settings_.code_page);
  ShowSelectionChange(selection_.PickSelectionFile(path));
}

void MainWindow::SingleDirectoryCommand() {
  const QString initial =
      Q(ReadRememberedPath(settings_.settings_path, "Path2", settings_.code_page));
  const QString chosen = dialogs_.ChooseFolder(this, QStringLiteral("选择目录:"), initial);
  // A cancelled chooser, like a refused root, keeps the previous selection whole.
  std::optional<std::string> path;
  if (!chosen.isEmpty()) path = PathOnDisk(chosen, settings_.code_page);
  ShowSelectionChange(selection_.PickSingleDirectory(path));
}

void MainWindow::FolderListCommand() {
  // The tree saved the folder list; the run walks it.
  const std::optional<QString> kept =
      dialogs_.PickFolders(this, settings_.settings_path, settings_.code_page);
  std::optional<std::string> text;
  if (kept) text = S(*kept);
  ShowSelectionChange(selection_.PickFolderList(text));
}

void MainWindow::FindCommand() {
  // Modal for the whole program, without a nested event loop: the command
  // returns at once, and a hand-over waits until the dialog has closed.
  auto* dialog = new FindDialog(list_, dialogs_, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::ApplicationModal);
  dialog->show();
}

void MainWindow::SettingsCommand() {
  // Modal like the find dialog, without a nested event loop.
  SettingsPlaces places{settings_.settings_path, settings_.code_page,
                        QCoreApplication::applicationFilePath().toStdString(),
                        DesktopPlaces::ForUser()};
  auto* dialog = new SettingsDialog(std::move(places), dialogs_, *desktop_, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::ApplicationModal);
  dialog->show();
}

// --- Starting and stopping ---------------------------------------------------

void MainWindow::StartCommand() {
  StartDecision start = selection_.Start(flags_.run_started != 0);
  switch (start.action) {
    case StartDecision::Action::Nothing:
      return;
    case StartDecision::Action::Refuse:
      Error(Q(start.error));
      return;
    case StartDecision::Action::Stop:
      flags_.stop_request = 1;
      return;
    case StartDecision::Action::Launch:
      break;
  }
  RunRequest& request = start.request;
  request.settings_path = settings_.settings_path;
  request.code_page = settings_.code_page;
  flags_.progress_option = ReadProgressOption(settings_.settings_path, settings_.code_page) ? 1 : 0;
  if (start.remember) {
    RememberRunStart(settings_.settings_path, request, start.selection_directory,
                     settings_.code_page);
  }
  Launch(std::move(request));
}

bool MainWindow::Launch(RunRequest request) {
  request.after_file = run_gate_;
  if (!controller_->StartRun(std::move(request))) {
    // A worker that cannot start leaves the window idle and says why.
    Error(QStringLiteral("无法启动统计线程，请关闭一些程序后再试。"));
    return false;
  }
  counted_selection_ = edit_->text();
  waiting_cursor_ = true;
  setCursor(Qt::WaitCursor);
  edit_->setCursor(Qt::WaitCursor);
  progress_timer_->start();
  return true;
}

// --- Hand-over ----------------------------------------------------------------

void MainWindow::HandOverPath(const std::string& path) {
  pending_hand_over_ = path;
  hand_over_waiting_ = true;
  FlushHandOver();
}

void MainWindow::FlushHandOver() {
  // Acting under an open modal dialog would start a run beneath it, and in
  // the middle of a command would undo what the command has not finished.
  if (!hand_over_waiting_ || command_depth_ > 0 || QApplication::activeModalWidget() != nullptr) {
    return;
  }
  hand_over_waiting_ = false;
  Raise();
  ++command_depth_;
  ShowSelectionChange(selection_.HandOver(std::move(pending_hand_over_)));
  StartCommand();
  --command_depth_;
  // A path handed over during the start's own message waits no longer.
  FlushHandOver();
}

void MainWindow::ServeHandOvers(InstanceServer* server) {
  auto* notifier = new QSocketNotifier(server->fd(), QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, [this, server] {
    for (const HandOverMessage& message : server->TakeMessages()) {
      if (message.raise_only) {
        Raise();
      } else {
        HandOverPath(message.path);
      }
    }
  });
}

void MainWindow::CloseOnEndSignals() {
  if (end_signal_pipe_[0] >= 0) return;
  if (::pipe2(end_signal_pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    end_signal_pipe_[0] = end_signal_pipe_[1] = -1;
    RemoveTemporaryFilesOnSignals();  // still no temporary file is left behind
    return;
  }
  // The handler only writes a byte; the window acts on it in its own loop.
  auto* notifier = new QSocketNotifier(end_signal_pipe_[0], QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, [this] {
    char byte;
    while (::read(end_signal_pipe_[0], &byte, 1) > 0) {
    }
    close();
  });
  RemoveTemporaryFilesOnSignals(end_signal_pipe_[1]);
}

void MainWindow::Raise() {
  show();
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  raise();
  activateWindow();
}

// --- What the run shows -----------------------------------------------------

void MainWindow::CheckThread() {
  if (QThread::currentThread() != thread()) ++off_thread_calls_;
}

void MainWindow::OnSelectionButtonsEnabled(bool enabled) {
  CheckThread();
  buttons_[1012]->setEnabled(enabled);
  buttons_[1013]->setEnabled(enabled);
}

void MainWindow::OnStartButtonFace(StartButtonFace face) {
  CheckThread();
  IconButton* start = buttons_[1006];
  const bool stop = face == StartButtonFace::Stop;
  start->setText(Q(stop ? kStopCaption : kStartCaption));
  start->setIcon(ProgramIcon(stop ? 190 : 134));
  if (!stop) {
    // The run has ended, whichever way: the wait cursor goes.
    waiting_cursor_ = false;
    unsetCursor();
    edit_->setCursor(Qt::IBeamCursor);
    progress_timer_->stop();
    if (std::exchange(showing_found_, false)) fields_[1008]->clear();
    FlushHandOver();
  }
}

void MainWindow::OnStartButtonEnabled(bool enabled) {
  CheckThread();
  buttons_[1006]->setEnabled(enabled);
}

void MainWindow::OnClearResults() {
  CheckThread();
  list_->ClearResults();
  ShowSummary({});
}

void MainWindow::OnNotice(const QString& text) {
  CheckThread();
  Notice(text);
}

void MainWindow::OnProgressRange(uint64_t maximum, bool stepping) {
  CheckThread();
  if (std::exchange(showing_found_, false)) fields_[1008]->clear();
  progress_maximum_ = maximum;
  progress_stepping_ = stepping;
  bar_->setValue(0);
}

void MainWindow::OnProgressPosition(uint64_t position) {
  CheckThread();
  // A position other than 0 is the run's last word on the bar: the timer
  // must not pull it back to the accepted lines before the run's end arrives.
  if (position != 0) progress_timer_->stop();
  SetBarFromLines(position);
}

void MainWindow::SetBarFromLines(uint64_t lines) {
  // The bar counts 0..10,000 whatever the range: a range past 2^31 or a
  // count that outgrows its pre-count can neither overflow nor freeze it.
  if (progress_maximum_ == 0) {
    bar_->setValue(0);
    return;
  }
  const uint64_t clamped = std::min(lines, progress_maximum_);
  const long double share = static_cast<long double>(clamped) / progress_maximum_;
  bar_->setValue(static_cast<int>(share * 10000));
}

int MainWindow::BarValue() const {
  return bar_->value();
}

void MainWindow::UpdateProgressBar() {
  // While the files are gathered the lines field counts those found so far,
  // so a long walk is seen to go on; the run's next word clears it.
  if (flags_.counting != 0 && state_.files_total == 0) {
    fields_[1008]->setText(QStringLiteral("已找到 %1 个文件").arg(state_.files_found.load()));
    showing_found_ = true;
  }
  if (progress_stepping_) SetBarFromLines(state_.progress_lines.load(std::memory_order_relaxed));
}

void MainWindow::OnAddRow(const ResultRow& row) {
  CheckThread();
  list_->AddResultRow(row);
}

void MainWindow::OnSummary(const SummaryTexts& summary) {
  CheckThread();
  ShowSummary(summary);
}

void MainWindow::OnRefreshCursor() {
  CheckThread();
  if (flags_.run_started == 0 && waiting_cursor_) {
    unsetCursor();
    edit_->setCursor(Qt::IBeamCursor);
  }
}

// --- Window events -------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent* event) {
  KeepSize();
  // Closing ends the run at once, even in the middle of a large file.
  controller_->Abort();
  // The viewers and properties the window opened go with it.
  for (auto* viewer : findChildren<SourceViewer*>()) viewer->close();
  for (auto* properties : findChildren<PropertiesDialog*>()) properties->close();
  event->accept();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      event->accept();  // Esc never closes the window
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      event->accept();
      close();  // Enter that reaches the window is its exit command
      return;
    default:
      QMainWindow::keyPressEvent(event);
  }
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
  // Any free spot drags the window.
  if (event->button() == Qt::LeftButton && windowHandle() != nullptr) {
    windowHandle()->startSystemMove();
    event->accept();
    return;
  }
  QMainWindow::mousePressEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // A modal dialog of ours has closed: a waiting hand-over may go ahead.
  if (hand_over_waiting_ && event->type() == QEvent::Hide && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->isModal()) {
    QTimer::singleShot(0, this, &MainWindow::FlushHandOver);
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace tv
