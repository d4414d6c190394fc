// The folder tree: any number of folders ticked in a check-box tree whose
// roots are "/" and the home folder, saved as the folder list a run walks.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QTreeWidget>
#include <atomic>
#include <optional>
#include <string>
#include <thread>
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
/// click and Space are ignored.
class FolderTree : public QTreeWidget {
  Q_OBJECT
 public:
  explicit FolderTree(QWidget* parent);

  /// The item of folder `path` (as bytes), when the tree shows it.
  QTreeWidgetItem* ItemFor(const QByteArray& path) const;
  /// Where the item's check box is drawn, in viewport coordinates.
  QRect CheckRect(QTreeWidgetItem* item) const;
  static QByteArray PathOf(const QTreeWidgetItem* item);
  static bool IsTicked(const QTreeWidgetItem* item);
  static bool IsBold(const QTreeWidgetItem* item);

  /// Adds a root item for the folder `path`, shown as `text`.
  QTreeWidgetItem* AddRoot(const QByteArray& path, const QString& text);
  /// Adds the subfolders of `item` from `listing` (or, without one, by
  /// listing its folder now), once; children of a ticked item come ticked.
  void LoadChildren(QTreeWidgetItem* item,
                    const std::optional<std::vector<Subfolder>>& listing = std::nullopt);
  /// The child of `item` named `name`, added when missing.
  QTreeWidgetItem* ChildNamed(QTreeWidgetItem* item, const std::string& name);
  /// Ticks or clears `item` and everything below it, then recomputes its
  /// ancestors: ticked when all their children are, bold when ticked or
  /// when a child is bold.
  void SetTicked(QTreeWidgetItem* item, bool ticked);
  /// The topmost ticked folders: no listed folder lies inside another.
  std::vector<std::string> TopmostTicked() const;

  void SetAccepting(bool accepting) { accepting_ = accepting; }

 signals:
  /// A click changed what is ticked or opened.
  void Clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Toggle(QTreeWidgetItem* item);
  QTreeWidgetItem* NewItem(const QByteArray& path, const QString& text, bool has_subfolders);
  static void SetState(QTreeWidgetItem* item, bool ticked, bool bold);

  bool accepting_ = false;
};

/// Dialog 197. The saved folders are opened and ticked by a fill thread
/// that only lists folders and hands each result to the dialog through a
/// queued call; until it is done, OK and Cancel are disabled and the tree
/// ignores clicks. Closing the dialog stops the fill and waits for it.
class FolderTreeDialog : public QDialog {
  Q_OBJECT
 public:
  FolderTreeDialog(std::string settings_path, CodePage code_page, Dialogs& dialogs,
                   QWidget* parent = nullptr, const QString& home = QString());
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
    // The listings of the root's folder, then of each folder along the
    // path; none where an earlier step already listed the folder.
    std::vector<std::optional<std::vector<Subfolder>>> listings;
    int total = 0;  // the number of saved folders
  };

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Apply(const FillStep& step);
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
  std::atomic<bool> stop_{false};
  std::thread fill_;
};

}  // namespace tv
