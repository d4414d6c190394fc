#include "ui/folder_tree_dialog.h"

#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressBar>
#include <QSet>
#include <QStyle>
#include <QTreeWidgetItemIterator>
#include <functional>
#include <set>
#include <system_error>

#include "runs/selection_files.h"
#include "ui/controls/icon_button.h"
#include "ui/dialog_units.h"
#include "ui/dialogs.h"

namespace tv {

namespace {

constexpr int kPathRole = Qt::UserRole;        // the folder's path, as bytes
constexpr int kLoadedRole = Qt::UserRole + 1;  // its subfolders were added

using FillStep = FolderTreeDialog::FillStep;

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
                 const std::function<void(FillStep)>& hand) {
  std::set<std::string> listed;
  auto list_once = [&](const std::string& path) -> std::optional<std::vector<Subfolder>> {
    if (!listed.insert(path).second) return std::nullopt;
    return ListSubfolders(path);
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

}  // namespace

// --- The tree ----------------------------------------------------------------

FolderTree::FolderTree(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setRootIsDecorated(true);
  setExpandsOnDoubleClick(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  // Keyboard and arrow-button expansion list the folder too.
  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
    LoadChildren(item);
    if (item->parent() != nullptr) item->setIcon(0, style()->standardIcon(QStyle::SP_DirOpenIcon));
  });
  connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
    if (item->parent() != nullptr) item->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
  });
}

QByteArray FolderTree::PathOf(const QTreeWidgetItem* item) {
  return item->data(0, kPathRole).toByteArray();
}

bool FolderTree::IsTicked(const QTreeWidgetItem* item) {
  return item->data(0, Qt::CheckStateRole).toInt() == Qt::Checked;
}

bool FolderTree::IsBold(const QTreeWidgetItem* item) {
  return item->font(0).bold();
}

void FolderTree::SetState(QTreeWidgetItem* item, bool ticked, bool bold) {
  item->setData(0, Qt::CheckStateRole, ticked ? Qt::Checked : Qt::Unchecked);
  if (IsBold(item) != bold) {
    QFont font = item->font(0);
    font.setBold(bold);
    item->setFont(0, font);
  }
}

QTreeWidgetItem* FolderTree::NewItem(const QByteArray& path, const QString& text,
                                     bool has_subfolders) {
  auto* item = new QTreeWidgetItem(QStringList{text});
  item->setData(0, kPathRole, path);
  // A check box the tree draws but does not toggle itself: clicks are
  // handled here, so a tick always carries down and up.
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  item->setData(0, Qt::CheckStateRole, Qt::Unchecked);
  item->setChildIndicatorPolicy(has_subfolders ? QTreeWidgetItem::ShowIndicator
                                               : QTreeWidgetItem::DontShowIndicator);
  item->setToolTip(0, QFile::decodeName(path));
  item->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
  return item;
}

QTreeWidgetItem* FolderTree::AddRoot(const QByteArray& path, const QString& text) {
  QTreeWidgetItem* item = NewItem(path, text, true);
  item->setIcon(
      0, style()->standardIcon(path == "/" ? QStyle::SP_DriveHDIcon : QStyle::SP_DirHomeIcon));
  addTopLevelItem(item);
  return item;
}

void FolderTree::LoadChildren(QTreeWidgetItem* item,
                              const std::optional<std::vector<Subfolder>>& listing) {
  if (item->data(0, kLoadedRole).toBool()) return;
  item->setData(0, kLoadedRole, true);
  const QByteArray path = PathOf(item);
  const std::vector<Subfolder> folders = listing ? *listing : ListSubfolders(path.toStdString());
  QSet<QByteArray> present;
  for (int i = 0; i < item->childCount(); ++i) present.insert(PathOf(item->child(i)));
  const QByteArray prefix = path.endsWith('/') ? path : path + '/';
  // A ticked folder stands for everything inside it, so what opens under
  // it comes ticked.
  const bool ticked = IsTicked(item);
  QList<QTreeWidgetItem*> added;
  for (const Subfolder& folder : folders) {
    const QByteArray child_path = prefix + QByteArray::fromStdString(folder.name);
    if (present.contains(child_path)) continue;
    QTreeWidgetItem* child =
        NewItem(child_path, QFile::decodeName(folder.name.c_str()), folder.has_subfolders);
    if (ticked) SetState(child, true, true);
    added.push_back(child);
  }
  item->addChildren(added);
  if (item->childCount() == 0) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

QTreeWidgetItem* FolderTree::ChildNamed(QTreeWidgetItem* item, const std::string& name) {
  const QByteArray path = PathOf(item);
  const QByteArray child_path =
      (path.endsWith('/') ? path : path + '/') + QByteArray::fromStdString(name);
  for (int i = 0; i < item->childCount(); ++i) {
    if (PathOf(item->child(i)) == child_path) return item->child(i);
  }
  QTreeWidgetItem* child = NewItem(child_path, QFile::decodeName(name.c_str()), true);
  item->addChild(child);
  item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  return child;
}

QTreeWidgetItem* FolderTree::ItemFor(const QByteArray& path) const {
  for (QTreeWidgetItemIterator it(const_cast<FolderTree*>(this)); *it != nullptr; ++it) {
    if (PathOf(*it) == path) return *it;
  }
  return nullptr;
}

void FolderTree::SetTicked(QTreeWidgetItem* item, bool ticked) {
  std::vector<QTreeWidgetItem*> below{item};
  while (!below.empty()) {
    QTreeWidgetItem* next = below.back();
    below.pop_back();
    SetState(next, ticked, ticked);
    for (int i = 0; i < next->childCount(); ++i) below.push_back(next->child(i));
  }
  for (QTreeWidgetItem* up = item->parent(); up != nullptr; up = up->parent()) {
    bool all = up->childCount() > 0;
    for (int i = 0; all && i < up->childCount(); ++i) all = IsTicked(up->child(i));
    SetState(up, all, all);
  }
  // A folder with something ticked inside stays bold though not ticked.
  for (QTreeWidgetItem* up = item->parent(); up != nullptr; up = up->parent()) {
    bool bold = IsTicked(up);
    for (int i = 0; !bold && i < up->childCount(); ++i) bold = IsBold(up->child(i));
    SetState(up, IsTicked(up), bold);
  }
}

std::vector<std::string> FolderTree::TopmostTicked() const {
  std::vector<std::string> folders;
  std::vector<QTreeWidgetItem*> look;
  for (int i = 0; i < topLevelItemCount(); ++i) look.push_back(topLevelItem(i));
  while (!look.empty()) {
    QTreeWidgetItem* item = look.back();
    look.pop_back();
    if (IsTicked(item)) {
      folders.push_back(PathOf(item).toStdString());
      continue;
    }
    // Only a bold folder has anything ticked inside it.
    for (int i = 0; i < item->childCount(); ++i) {
      if (IsBold(item->child(i))) look.push_back(item->child(i));
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

FolderTreeDialog::FolderTreeDialog(std::string settings_path, CodePage code_page, Dialogs& dialogs,
                                   QWidget* parent, const QString& home)
    : QDialog(parent),
      settings_path_(std::move(settings_path)),
      code_page_(code_page),
      dialogs_(dialogs) {
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

  tree_ = new FolderTree(this);
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

  std::vector<std::string> roots{"/"};
  roots_.push_back(tree_->AddRoot("/", QStringLiteral("/")));
  const std::string home_path =
      PlainFolderPath(QFile::encodeName(home.isEmpty() ? QDir::homePath() : home).toStdString());
  if (home_path != "/" && IsEnterableFolder(home_path)) {
    roots.push_back(home_path);
    roots_.push_back(
        tree_->AddRoot(QByteArray::fromStdString(home_path), QFile::decodeName(home_path.c_str())));
  }
  try {
    fill_ = std::thread([this, roots, path = settings_path_, cp = code_page_] {
      FillFolders(roots, path, cp, stop_, [this](FillStep step) {
        QMetaObject::invokeMethod(
            this, [this, step = std::move(step)] { Apply(step); }, Qt::QueuedConnection);
      });
    });
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
  stop_ = true;
  if (fill_.joinable()) fill_.join();
}

void FolderTreeDialog::Apply(const FillStep& step) {
  if (stop_) return;  // closed while results were on their way
  switch (step.kind) {
    case FillStep::kRoots:
      for (size_t r = 0; r < roots_.size() && r < step.listings.size(); ++r) {
        tree_->LoadChildren(roots_[r], step.listings[r]);
      }
      return;
    case FillStep::kFolder: {
      QTreeWidgetItem* item = roots_.at(step.root);
      for (size_t k = 0; k < step.components.size(); ++k) {
        item = tree_->ChildNamed(item, step.components[k]);
        tree_->LoadChildren(item, step.listings[k]);
        item->parent()->setExpanded(true);
      }
      tree_->SetTicked(item, true);
      [[fallthrough]];
    }
    case FillStep::kSkipped:
      progress_->setRange(0, step.total);
      progress_->setValue(step.index + 1);
      return;
    case FillStep::kUnreadable:
      dialogs_.Message(nullptr, MessageIcon::Stop, QStringLiteral("Error"),
                       QStringLiteral("'Setup.ini' doesn't exist or invalid file format"));
      break;
    case FillStep::kDone:
      progress_->setRange(0, std::max(step.total, 1));
      progress_->setValue(progress_->maximum());
      break;
  }
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
  for (const std::string& folder : folders) list_->addItem(QFile::decodeName(folder.c_str()));
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
  StopFill();
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
