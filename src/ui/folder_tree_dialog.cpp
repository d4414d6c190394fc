#include "ui/folder_tree_dialog.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressBar>
#include <QStyle>
#include <deque>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "platform/program_paths.h"
#include "runs/selection_files.h"
#include "ui/controls/icon_button.h"
#include "ui/dialog_units.h"
#include "ui/dialogs.h"

namespace tv {

namespace {

using FillStep = FolderTreeDialog::FillStep;

// At most this long, and this many subfolders added, per turn of the event loop.
constexpr qint64 kSliceMs = 5;
constexpr size_t kSliceItems = 1000;

bool LiesUnder(const std::string& folder, const std::string& root) {
  return root == "/" || folder == root ||
         (folder.size() > root.size() && folder.compare(0, root.size(), root) == 0 &&
          folder[root.size()] == '/');
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

// The fill thread's work: list the roots, then each saved folder's path,
// handing every result over. It touches no widget; it only lists folders
// and reads the settings file. Each folder is listed once.
void FillFolders(const std::vector<std::string>& roots, const std::string& settings_path,
                 CodePage code_page, const std::atomic<bool>& stop,
                 const FolderTreeDialog::Lister& list, const std::function<void(FillStep)>& hand) {
  std::set<std::string> listed;
  auto list_once = [&](const std::string& path) -> std::optional<std::vector<Subfolder>> {
    if (stop || !listed.insert(path).second) return std::nullopt;
    return list(path, stop);
  };
  FillStep roots_step;
  roots_step.kind = FillStep::kRoots;
  for (const std::string& root : roots) roots_step.listings.push_back(list_once(root));
  hand(std::move(roots_step));

  const auto saved = ReadFolderList(settings_path, code_page);
  if (!saved) {
    FillStep step;
    step.kind = FillStep::kUnreadable;
    hand(std::move(step));
    return;
  }
  const int total = static_cast<int>(saved->size());
  for (int i = 0; i < total; ++i) {
    if (stop) return;
    FillStep step;
    step.kind = FillStep::kSkipped;
    step.index = i;
    step.total = total;
    const std::string folder = PlainFolderPath((*saved)[i]);
    // A folder that is gone, or no folder at all, is skipped silently.
    if (!folder.empty() && IsEnterableFolder(folder)) {
      step.kind = FillStep::kFolder;
      // Under the deepest root that holds it: the home folder before "/".
      for (size_t r = 0; r < roots.size(); ++r) {
        if (LiesUnder(folder, roots[r]) && roots[r].size() >= roots[step.root].size()) {
          step.root = static_cast<int>(r);
        }
      }
      std::string path = roots[step.root];
      const std::string rest = folder.substr(path == "/" ? 1 : path.size());
      for (size_t at = 0; at < rest.size();) {
        size_t end = rest.find('/', at + 1);
        if (end == std::string::npos) end = rest.size();
        const size_t from = rest[at] == '/' ? at + 1 : at;
        step.components.push_back(rest.substr(from, end - from));
        path = Join(path, step.components.back());
        step.listings.push_back(list_once(path));
        at = end;
      }
    }
    hand(std::move(step));
  }
  FillStep done;
  done.total = total;
  hand(std::move(done));
}

QString CountText(const char* format, size_t n) {
  return QString::fromUtf8(format).arg(n);
}

// One folder of the tree. Its tick and boldness are fields the item reports
// as its data, so ticking a large subtree sets fields rather than sending a
// change for each item; the counts of ticked and bold children let a folder
// follow its children without looking at each of them.
class FolderItem : public QTreeWidgetItem {
 public:
  enum class Kind { Folder, Disk, Home };

  FolderItem(QByteArray path, const QString& text, Kind kind)
      : QTreeWidgetItem(QStringList{text}, UserType), path(std::move(path)), kind(kind) {
    // A check box the tree draws but does not toggle itself: clicks are
    // handled by the tree, so a tick always carries down and up.
    setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  }

  QVariant data(int column, int role) const override {
    const auto* tree = static_cast<const FolderTree*>(treeWidget());
    switch (role) {
      case Qt::CheckStateRole:
        return ticked ? Qt::Checked : Qt::Unchecked;
      case Qt::FontRole:
        return bold && tree != nullptr ? QVariant(tree->BoldFont()) : QVariant();
      case Qt::DecorationRole: {
        if (tree == nullptr) return {};
        const FolderTree::Icons& icons = tree->SharedIcons();
        return kind == Kind::Disk   ? icons.disk
               : kind == Kind::Home ? icons.home
               : isExpanded()       ? icons.open_folder
                                    : icons.folder;
      }
      case Qt::ToolTipRole:
        return tree != nullptr ? tree->Shown(path.toStdString()) : QVariant();
      default:
        return QTreeWidgetItem::data(column, role);
    }
  }

  // Sets the item's own state and keeps its parent's counts; false when
  // nothing changed.
  bool SetOwn(bool now_ticked, bool now_bold) {
    if (ticked == now_ticked && bold == now_bold) return false;
    if (auto* up = static_cast<FolderItem*>(parent())) {
      up->ticked_children += int(now_ticked) - int(ticked);
      up->bold_children += int(now_bold) - int(bold);
    }
    ticked = now_ticked;
    bold = now_bold;
    return true;
  }
  // Ticks or clears everything below, without a change sent for each item.
  void SetBelow(bool now_ticked) {
    std::vector<FolderItem*> below{this};
    while (!below.empty()) {
      FolderItem* next = below.back();
      below.pop_back();
      if (next != this) next->ticked = next->bold = now_ticked;
      next->ticked_children = next->bold_children = now_ticked ? next->childCount() : 0;
      for (int i = 0; i < next->childCount(); ++i) {
        below.push_back(static_cast<FolderItem*>(next->child(i)));
      }
    }
  }
  void Changed() { emitDataChanged(); }

  const QByteArray path;  // the folder's exact bytes
  const Kind kind;
  bool loaded = false;  // its subfolders were listed
  bool ticked = false;
  bool bold = false;  // ticked, or something inside is
  int ticked_children = 0;
  int bold_children = 0;
};

FolderItem* AsFolder(QTreeWidgetItem* item) {
  return static_cast<FolderItem*>(item);
}
const FolderItem* AsFolder(const QTreeWidgetItem* item) {
  return static_cast<const FolderItem*>(item);
}

}  // namespace

// --- The tree ----------------------------------------------------------------

FolderTree::FolderTree(QWidget* parent, CodePage code_page)
    : QTreeWidget(parent), code_page_(code_page) {
  setHeaderHidden(true);
  setColumnCount(1);
  setRootIsDecorated(true);
  setExpandsOnDoubleClick(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  icons_ = {
      style()->standardIcon(QStyle::SP_DirIcon), style()->standardIcon(QStyle::SP_DirOpenIcon),
      style()->standardIcon(QStyle::SP_DriveHDIcon), style()->standardIcon(QStyle::SP_DirHomeIcon)};
  // Keyboard and arrow-button expansion list the folder too.
  connect(this, &QTreeWidget::itemExpanded, this, &FolderTree::LoadChildren);
}

QString FolderTree::Shown(std::string_view bytes) const {
  return QString::fromStdString(NameToUtf8(bytes, code_page_));
}

QFont FolderTree::BoldFont() const {
  QFont bold = font();
  bold.setBold(true);
  return bold;
}

QByteArray FolderTree::PathOf(const QTreeWidgetItem* item) {
  return AsFolder(item)->path;
}

bool FolderTree::IsTicked(const QTreeWidgetItem* item) {
  return AsFolder(item)->ticked;
}

bool FolderTree::IsBold(const QTreeWidgetItem* item) {
  return AsFolder(item)->bold;
}

QTreeWidgetItem* FolderTree::NewItem(QByteArray path, std::string_view name, bool has_subfolders) {
  auto* item = new FolderItem(path, Shown(name), FolderItem::Kind::Folder);
  item->setChildIndicatorPolicy(has_subfolders ? QTreeWidgetItem::ShowIndicator
                                               : QTreeWidgetItem::DontShowIndicator);
  items_.insert(std::move(path), item);
  return item;
}

QTreeWidgetItem* FolderTree::AddRoot(const QByteArray& path) {
  const bool disk = path == "/";
  auto* item = new FolderItem(path, Shown(path.toStdString()),
                              disk ? FolderItem::Kind::Disk : FolderItem::Kind::Home);
  item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  items_.insert(path, item);
  addTopLevelItem(item);
  return item;
}

void FolderTree::LoadChildren(QTreeWidgetItem* item) {
  if (AsFolder(item)->loaded) return;
  size_t next = 0;
  AddSubfolders(item, ListSubfolders(PathOf(item).toStdString()), next, SIZE_MAX);
}

bool FolderTree::AddSubfolders(QTreeWidgetItem* item, const std::vector<Subfolder>& listing,
                               size_t& next, size_t most) {
  FolderItem* folder = AsFolder(item);
  folder->loaded = true;
  const QByteArray& path = folder->path;
  const QByteArray prefix = path.endsWith('/') ? path : path + '/';
  // A ticked folder stands for everything inside it, so what opens under
  // it comes ticked.
  const bool ticked = folder->ticked;
  QList<QTreeWidgetItem*> added;
  const size_t end = std::min(listing.size(), next + std::min(most, listing.size()));
  for (; next < end; ++next) {
    const Subfolder& sub = listing[next];
    QByteArray child_path = prefix + QByteArray::fromStdString(sub.name);
    if (items_.contains(child_path)) continue;
    auto* child = AsFolder(NewItem(std::move(child_path), sub.name, sub.has_subfolders));
    child->ticked = child->bold = ticked;
    added.push_back(child);
  }
  if (ticked) {
    folder->ticked_children += static_cast<int>(added.size());
    folder->bold_children += static_cast<int>(added.size());
  }
  folder->addChildren(added);
  const bool all = next == listing.size();
  if (all && folder->childCount() == 0) {
    folder->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
  }
  return all;
}

QTreeWidgetItem* FolderTree::ChildNamed(QTreeWidgetItem* item, const std::string& name) {
  const QByteArray& path = PathOf(item);
  QByteArray child_path =
      (path.endsWith('/') ? path : path + '/') + QByteArray::fromStdString(name);
  if (QTreeWidgetItem* child = items_.value(child_path)) return child;
  auto* child = AsFolder(NewItem(std::move(child_path), name, true));
  FolderItem* folder = AsFolder(item);
  child->ticked = child->bold = folder->ticked;
  folder->ticked_children += int(child->ticked);
  folder->bold_children += int(child->bold);
  folder->addChild(child);
  folder->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  return child;
}

void FolderTree::SetTicked(QTreeWidgetItem* item, bool ticked) {
  FolderItem* folder = AsFolder(item);
  folder->SetBelow(ticked);
  folder->SetOwn(ticked, ticked);
  folder->Changed();
  // A folder is ticked when all its children are, and bold when ticked or
  // when a child is bold; above the first folder that stays as it was,
  // nothing changes.
  for (auto* up = AsFolder(folder->parent()); up != nullptr; up = AsFolder(up->parent())) {
    const bool all = up->childCount() > 0 && up->ticked_children == up->childCount();
    if (!up->SetOwn(all, all || up->bold_children > 0)) break;
    up->Changed();
  }
  viewport()->update();
}

std::vector<std::string> FolderTree::TopmostTicked() const {
  std::vector<std::string> folders;
  std::vector<const FolderItem*> look;
  for (int i = 0; i < topLevelItemCount(); ++i) look.push_back(AsFolder(topLevelItem(i)));
  while (!look.empty()) {
    const FolderItem* item = look.back();
    look.pop_back();
    if (item->ticked) {
      folders.push_back(item->path.toStdString());
      continue;
    }
    // Only a bold folder has anything ticked inside it.
    for (int i = 0; i < item->childCount() && item->bold_children > 0; ++i) {
      const FolderItem* child = AsFolder(item->child(i));
      if (child->bold) look.push_back(child);
    }
  }
  return TopmostFolders(std::move(folders));
}

QRect FolderTree::CheckRect(QTreeWidgetItem* item) const {
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualItemRect(item);
  option.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay |
                     QStyleOptionViewItem::HasDecoration;
  option.checkState = item->checkState(0);
  option.text = item->text(0);
  option.icon = item->icon(0);
  return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
}

void FolderTree::mousePressEvent(QMouseEvent* event) {
  // While the tree fills, and for any button but the left one, clicks do nothing.
  if (!accepting_ || event->button() != Qt::LeftButton) {
    event->accept();
    return;
  }
  const QPoint at = event->position().toPoint();
  QTreeWidgetItem* item = itemAt(at);
  // The expand buttons left of an item work as in any tree.
  if (item == nullptr || at.x() < visualItemRect(item).left()) {
    QTreeWidget::mousePressEvent(event);
    return;
  }
  setCurrentItem(item);
  setFocus();
  if (CheckRect(item).contains(at)) {
    Toggle(item);
  } else {
    LoadChildren(item);
    item->setExpanded(!item->isExpanded());
    emit Clicked();
  }
  event->accept();
}

void FolderTree::Toggle(QTreeWidgetItem* item) {
  LoadChildren(item);
  SetTicked(item, !IsTicked(item));
  emit Clicked();
}

void FolderTree::keyPressEvent(QKeyEvent* event) {
  // Space ticks from the keyboard, as a click on the check box does.
  if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
    if (accepting_ && currentItem() != nullptr) Toggle(currentItem());
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

void FolderTree::mouseDoubleClickEvent(QMouseEvent* event) {
  // The first click of the two already acted.
  event->accept();
}

// --- The dialog --------------------------------------------------------------

// What the dialog and its fill thread share: the stop flag and the queue of
// results. The thread queues a result only while the dialog exists, and
// wakes it when the queue was empty; the dialog, when it goes, sets the stop
// flag and forgets itself here, and never waits for the thread.
struct FolderTreeDialog::Link {
  std::atomic<bool> stop{false};
  std::mutex lock;
  FolderTreeDialog* dialog = nullptr;  // all three guarded by `lock`
  std::deque<FillStep> steps;
  bool woken = false;  // a wake-up is on its way to the dialog

  void Hand(FillStep step) {
    std::lock_guard<std::mutex> hold(lock);
    if (dialog == nullptr) return;
    steps.push_back(std::move(step));
    if (!woken) {
      woken = true;
      FolderTreeDialog* to = dialog;
      QMetaObject::invokeMethod(
          to,
          [to] {
            {
              std::lock_guard<std::mutex> hold(to->link_->lock);
              to->link_->woken = false;
            }
            to->drain_.start();
          },
          Qt::QueuedConnection);
    }
  }
};

FolderTreeDialog::FolderTreeDialog(std::string settings_path, CodePage code_page, Dialogs& dialogs,
                                   QWidget* parent, const std::string& home, Lister list)
    : QDialog(parent),
      settings_path_(std::move(settings_path)),
      code_page_(code_page),
      dialogs_(dialogs),
      link_(std::make_shared<Link>()) {
  setObjectName(QStringLiteral("197"));
  setWindowTitle(QStringLiteral("请选择需要统计的目录"));
  const DialogUnits du(font());
  setFixedSize(du.Size(368, 283));

  QFont title_font(QStringLiteral("Arial"));
  title_font.setPixelSize(14);
  auto title = [&](const char* id, const char* text, QRect rect) {
    auto* label = new QLabel(QString::fromUtf8(text), this);
    label->setObjectName(QString::fromLatin1(id));
    label->setFont(title_font);
    label->setStyleSheet(
        QStringLiteral("QLabel { color: #ffffff; background: #6e6e6e; padding-left: 3px; }"));
    label->setGeometry(rect);
    return label;
  };
  title("1058", "选择需要统计的目录:", du.Rect(7, 8, 175, 13));
  chosen_label_ = title("1056", "已选择的目录:", du.Rect(184, 8, 177, 13));

  tree_ = new FolderTree(this, code_page_);
  tree_->setObjectName(QStringLiteral("1055"));
  tree_->setGeometry(du.Rect(7, 23, 175, 222));
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("1002"));
  list_->setGeometry(du.Rect(184, 23, 177, 222));
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("1005"));
  progress_->setTextVisible(false);
  progress_->setGeometry(du.Rect(7, 247, 354, 6));

  auto button = [&](const char* id, const char* text, QStyle::StandardPixmap icon, int x) {
    auto* b = new IconButton(QString::fromLatin1(id), QString::fromUtf8(text),
                             style()->standardIcon(icon), this);
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setGeometry(du.Rect(x, 260, 56, 16));
    b->setEnabled(false);
    return b;
  };
  ok_ = button("1015", "确 定", QStyle::SP_DialogOkButton, 108);
  cancel_ = button("2", "取 消", QStyle::SP_DialogCancelButton, 203);
  connect(ok_, &QToolButton::clicked, this, &FolderTreeDialog::accept);
  connect(cancel_, &QToolButton::clicked, this, &FolderTreeDialog::reject);
  // The list follows the tree once the click is done, as a posted message would.
  connect(
      tree_, &FolderTree::Clicked, this, [this] { RefreshList(false); }, Qt::QueuedConnection);
  drain_.setInterval(0);
  connect(&drain_, &QTimer::timeout, this, &FolderTreeDialog::Drain);

  std::vector<std::string> roots{"/"};
  roots_.push_back(tree_->AddRoot("/"));
  const std::string home_path = PlainFolderPath(home.empty() ? HomeDirectory() : home);
  if (home_path != "/" && IsEnterableFolder(home_path)) {
    roots.push_back(home_path);
    roots_.push_back(tree_->AddRoot(QByteArray::fromStdString(home_path)));
  }
  if (!list) {
    list = [](const std::string& path, const std::atomic<bool>& stop) {
      return ListSubfolders(path, &stop);
    };
  }
  link_->dialog = this;
  try {
    std::thread([link = link_, roots, path = settings_path_, cp = code_page_,
                 list = std::move(list)] {
      FillFolders(roots, path, cp, link->stop, list,
                  [&link](FillStep step) { link->Hand(std::move(step)); });
    }).detach();
  } catch (const std::system_error&) {
    dialogs_.Message(this, MessageIcon::Stop, QStringLiteral("Error"),
                     QStringLiteral("窗口初始化错误"));
    ok_->setEnabled(true);
    cancel_->setEnabled(true);
  }
}

FolderTreeDialog::~FolderTreeDialog() {
  StopFill();
}

void FolderTreeDialog::StopFill() {
  link_->stop = true;
  {
    std::lock_guard<std::mutex> hold(link_->lock);
    link_->dialog = nullptr;
    link_->steps.clear();
  }
  drain_.stop();
}

void FolderTreeDialog::Drain() {
  // A message box a step shows runs an event loop of its own, in which this
  // timer would fire again: the step at hand is finished first. Once the
  // dialog is closing, nothing more is taken.
  if (draining_ || link_->stop) {
    drain_.stop();
    return;
  }
  draining_ = true;
  // A slice: a few milliseconds, and so many subfolders, then back to the
  // event loop, which calls again at once while work is left.
  QElapsedTimer clock;
  clock.start();
  size_t budget = kSliceItems;
  while (budget > 0 && clock.elapsed() < kSliceMs) {
    if (!applying_) {
      std::lock_guard<std::mutex> hold(link_->lock);
      if (link_->steps.empty()) {
        drain_.stop();
        draining_ = false;
        return;
      }
      applying_.emplace(Applying{std::move(link_->steps.front())});
      link_->steps.pop_front();
    }
    if (ApplySome(*applying_, budget)) applying_.reset();
  }
  draining_ = false;
  drain_.start();
}

bool FolderTreeDialog::ApplySome(Applying& at, size_t& budget) {
  const FillStep& step = at.step;
  // Adds the next subfolders of `item` from `listing`; true once all are in.
  auto add = [&](QTreeWidgetItem* item, const std::optional<std::vector<Subfolder>>& listing) {
    if (!listing) return true;
    const size_t from = at.next;
    const bool all = tree_->AddSubfolders(item, *listing, at.next, budget);
    budget -= std::min(budget, std::max<size_t>(at.next - from, 1));
    if (all) at.next = 0;
    return all;
  };
  switch (step.kind) {
    case FillStep::kRoots:
      for (; at.listing < roots_.size() && at.listing < step.listings.size(); ++at.listing) {
        if (!add(roots_[at.listing], step.listings[at.listing])) return false;
      }
      return true;
    case FillStep::kFolder:
      if (at.item == nullptr) at.item = roots_.at(step.root);
      for (; at.listing < step.components.size(); ++at.listing, at.entered = false) {
        if (!at.entered) {
          at.item = tree_->ChildNamed(at.item, step.components[at.listing]);
          at.item->parent()->setExpanded(true);
          at.entered = true;
        }
        if (!add(at.item, step.listings[at.listing])) return false;
      }
      tree_->SetTicked(at.item, true);
      budget -= std::min<size_t>(budget, 1);
      [[fallthrough]];
    case FillStep::kSkipped:
      progress_->setRange(0, step.total);
      progress_->setValue(step.index + 1);
      return true;
    case FillStep::kUnreadable:
      dialogs_.Message(nullptr, MessageIcon::Stop, QStringLiteral("Error"),
                       QStringLiteral("'Setup.ini' doesn't exist or invalid file format"));
      break;
    case FillStep::kDone:
      progress_->setRange(0, std::max(step.total, 1));
      progress_->setValue(progress_->maximum());
      break;
  }
  Finish();
  return true;
}

void FolderTreeDialog::Finish() {
  // The fill is over, whether the list could be read or not: the tree is
  // the user's from here.
  ok_->setEnabled(true);
  cancel_->setEnabled(true);
  tree_->SetAccepting(true);
  filled_ = true;
  RefreshList(true);
}

void FolderTreeDialog::RefreshList(bool after_fill) {
  const std::vector<std::string> folders = tree_->TopmostTicked();
  list_->clear();
  for (const std::string& folder : folders) list_->addItem(tree_->Shown(folder));
  kept_text_ = CountText("已选择 %1 个统计目录:", folders.size());
  chosen_label_->setText(folders.empty() && !after_fill
                             ? QStringLiteral("已选择 0 个统计目录:")
                             : CountText("已选择 %1 个目录:", folders.size()));
}

QStringList FolderTreeDialog::ListedFolders() const {
  QStringList folders;
  for (int i = 0; i < list_->count(); ++i) folders << list_->item(i)->text();
  return folders;
}

void FolderTreeDialog::accept() {
  if (!filled_) return;
  const std::vector<std::string> folders = tree_->TopmostTicked();
  std::string error;
  if (!WriteFolderList(settings_path_, folders, code_page_, &error)) {
    dialogs_.Message(
        this, MessageIcon::Stop, QStringLiteral("错误"),
        QStringLiteral("目录列表保存失败：%1\n%2")
            .arg(QString::fromStdString(settings_path_), QString::fromStdString(error)));
    return;
  }
  kept_text_ = CountText("已选择 %1 个统计目录:", folders.size());
  QDialog::accept();
}

void FolderTreeDialog::done(int result) {
  StopFill();  // never waits: the fill thread ends on its own
  QDialog::done(result);
}

void FolderTreeDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();  // only the buttons close this dialog
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace tv
