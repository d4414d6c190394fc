// The find dialog: looks for a text in the file-name column of the results
// list, in the order the rows are shown, and selects the row it finds.
#pragma once

#include <QDialog>

#include "reports/find_rows.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tv {

class Dialogs;
class SortListCtrl;

class FindDialog : public QDialog {
  Q_OBJECT
 public:
  FindDialog(SortListCtrl* list, Dialogs& dialogs, QWidget* parent = nullptr);

  /// "开始查找" (1054): searches from the first row.
  void FindFirst() { Search(/*next=*/false); }
  /// "继续查找" (1006): searches from the row after the last match, or from
  /// the first row once a search has run off the end.
  void FindNext() { Search(/*next=*/true); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Search(bool next);
  void SetButtonsEnabled(bool enabled);

  SortListCtrl* list_;
  Dialogs& dialogs_;
  RowFinder finder_;
  QLineEdit* text_ = nullptr;    // 1000
  QLineEdit* status_ = nullptr;  // 1027
  QCheckBox* whole_cell_ = nullptr;
  QPushButton* first_ = nullptr;
  QPushButton* next_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace tv
