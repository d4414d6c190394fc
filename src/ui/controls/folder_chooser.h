// The folder chooser of the single-directory command: Qt's own file dialog
// showing folders only, with a row below the list that holds an editable
// drop-down of the chosen folder and the folders chosen before, and "OK".
// The history is kept in an INI file under the section "FolderHistory".
#pragma once

#include <QFileDialog>
#include <QString>
#include <memory>

#include "settings/folder_history.h"

class QComboBox;
class QPushButton;
class QSettings;

namespace tv {

class Dialogs;

class FolderChooserDialog : public QFileDialog {
  Q_OBJECT
 public:
  /// `history_file` is the INI file of the history; "" names the per-user
  /// one (DefaultHistoryFile). Messages go through `dialogs`.
  FolderChooserDialog(QWidget* parent, Dialogs& dialogs, const QString& title,
                      const QString& initial_folder, const QString& history_file = {});
  ~FolderChooserDialog() override;

  /// $XDG_CONFIG_HOME/tallyvane/folder-history.ini (default ~/.config).
  static QString DefaultHistoryFile();

  /// The folder accepted with OK, absolute and cleaned.
  QString ChosenFolder() const { return chosen_; }
  QComboBox* HistoryCombo() const { return combo_; }

  /// Puts `text` at the top of the drop-down and selects it.
  void AddToHistory(const QString& text);
  /// Adds the current text and writes the list to the history file.
  void SaveHistory();

  /// OK, whichever way it is pressed: accepts the folder named in the
  /// drop-down when it is an existing folder, otherwise says it is not
  /// accessible and stays open.
  void accept() override;

 private:
  void LoadHistory();
  void FillCombo();
  void OnItemPicked(int index);

  Dialogs& dialogs_;
  std::unique_ptr<QSettings> settings_;
  FolderHistory history_;
  QComboBox* combo_ = nullptr;
  QPushButton* ok_ = nullptr;
  QString chosen_;
};

}  // namespace tv
