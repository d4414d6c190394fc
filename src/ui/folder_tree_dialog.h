// The folder tree: any number of folders ticked in a check-box tree whose
// roots are "/" and the home folder, saved as the folder list a run walks.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QHash>
#include <QIcon>
#include <QTimer>
#include <QTreeWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "runs/subfolders.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QToolButton;

namespace tv {

class Dialogs;

/// The tree of folders: a click on an item's check box ticks or clears it
/// with everything below it, a click on its name expands or collapses it,
/// and subfolders are listed the first time an item is opened or clicked.
/// Space ticks or clears the current item. While `accepting` is off every
/// click and Space are ignored. Each item keeps its folder's exact bytes
/// and shows them as text read in `code_page`; every item is found by
/// those bytes through one index, and items of a kind share one icon.
class FolderTree : public QTreeWidget {
  Q_OBJECT
 public:
  FolderTree(QWidget* parent, CodePage code_page);

  /// The item of folder `path` (as bytes), when the tree shows it.
  QTreeWidgetItem* ItemFor(const QByteArray& path) const { return items_.value(path); }
  /// Where the item's check box is drawn, in viewport coordinates.
  QRect CheckRect(QTreeWidgetItem* item) const;
  static QByteArray PathOf(const QTreeWidgetItem* item);
  static bool IsTicked(const QTreeWidgetItem* item);
  static bool IsBold(const QTreeWidgetItem* item);

  /// Adds a root item for the folder `path`: "/" or the home folder.
  QTreeWidgetItem* AddRoot(const QByteArray& path);
  /// Adds the subfolders of `item` by listing its folder now, once.
  void LoadChildren(QTreeWidgetItem* item);
  /// Adds up to `most` subfolders of `item` from `listing`, from `next` on,
  /// and moves `next` past them; true once all are in. From then on the
  /// item counts as listed. Children of a ticked item come ticked.
  bool AddSubfolders(QTreeWidgetItem* item, const std::vector<Subfolder>& listing, size_t& next,
                     size_t most);
  /// The child of `item` named `name`, added when missing.
  QTreeWidgetItem* ChildNamed(QTreeWidgetItem* item, const std::string& name);
  /// Ticks or clears `item` and everything below it, then recomputes its
  /// ancestors: ticked when all their children are, bold when ticked or
  /// when a child is bold.
  void SetTicked(QTreeWidgetItem* item, bool ticked);
  /// The topmost ticked folders: no listed folder lies inside another.
  std::vector<std::string> TopmostTicked() const;

  void SetAccepting(bool accepting) { accepting_ = accepting; }

  /// The icons every item shows, made once: a folder, an opened folder,
  /// the file-system root and the home folder.
  struct Icons {
    QIcon folder, open_folder, disk, home;
  };
  const Icons& SharedIcons() const { return icons_; }
  QFont BoldFont() const;
  /// A folder's bytes as the tree shows them.
  QString Shown(std::string_view bytes) const;

 signals:
  /// A click changed what is ticked or opened.
  void Clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Toggle(QTreeWidgetItem* item);
  QTreeWidgetItem* NewItem(QByteArray path, std::string_view name, bool has_subfolders);

  CodePage code_page_;
  Icons icons_;
  QHash<QByteArray, QTreeWidgetItem*> items_;  // every item, by its folder's bytes
  bool accepting_ = false;
};

/// Dialog 197. The saved folders are opened and ticked by a fill thread
/// that only lists folders and queues each result; the dialog takes them
/// in slices of a few milliseconds, so the window keeps answering. Until
/// the fill is done, OK and Cancel are disabled and the tree ignores
/// clicks. Closing the dialog stops the fill and never waits for it.
class FolderTreeDialog : public QDialog {
  Q_OBJECT
 public:
  /// Lists the subfolders of a folder for the fill; ListSubfolders unless
  /// a test stands in for it. `home` is the home root's folder as bytes,
  /// the user's home folder when empty.
  using Lister =
      std::function<std::vector<Subfolder>(const std::string& path, const std::atomic<bool>& stop)>;

  FolderTreeDialog(std::string settings_path, CodePage code_page, Dialogs& dialogs,
                   QWidget* parent = nullptr, const std::string& home = {}, Lister list = {});
  ~FolderTreeDialog() override;

  bool IsFilled() const { return filled_; }
  /// What the main window shows for the selection: "已选择 N 个统计目录:".
  QString KeptText() const { return kept_text_; }
  FolderTree* Tree() const { return tree_; }
  QStringList ListedFolders() const;

  void accept() override;
  void done(int result) override;

  /// One result of the fill thread: the listings along one saved folder.
  struct FillStep {
    enum Kind { kRoots, kFolder, kSkipped, kUnreadable, kDone } kind = kDone;
    int index = 0;                        // the saved folder's position in the list
    int root = 0;                         // the root it lies under
    std::vector<std::string> components;  // its names below the root
    // The listings of the roots (kRoots), or of each folder along the path
    // (kFolder); none where an earlier step already listed the folder.
    std::vector<std::optional<std::vector<Subfolder>>> listings;
    int total = 0;  // the number of saved folders
  };

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct Link;
  // How far the step being applied has got.
  struct Applying {
    FillStep step;
    size_t listing = 0;    // the listing (kRoots) or component (kFolder) at hand
    size_t next = 0;       // its next subfolder to add
    bool entered = false;  // the component's item is found
    QTreeWidgetItem* item = nullptr;
  };
  void Drain();
  bool ApplySome(Applying& at, size_t& budget);
  void Finish();
  void RefreshList(bool after_fill);
  void StopFill();

  std::string settings_path_;
  CodePage code_page_;
  Dialogs& dialogs_;
  FolderTree* tree_ = nullptr;
  QListWidget* list_ = nullptr;
  QLabel* chosen_label_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QToolButton* ok_ = nullptr;
  QToolButton* cancel_ = nullptr;
  std::vector<QTreeWidgetItem*> roots_;
  QString kept_text_;
  bool filled_ = false;
  std::shared_ptr<Link> link_;  // shared with the fill thread, which may outlive the dialog
  QTimer drain_;                // takes the queued results while there are any
  std::optional<Applying> applying_;
  bool draining_ = false;
};

}  // namespace tv
