// The results list: a table model over the rows' stored texts, a proxy that
// holds the display order, and the view. A header click sorts by that column
// (again: the other way round); rows added later are appended unsorted until
// the next click; the sort column and its arrow survive a refill.
#pragma once

#include <QAbstractProxyModel>
#include <QAbstractTableModel>
#include <QFontMetrics>
#include <QTableView>
#include <array>
#include <vector>

#include "reports/results.h"

namespace tv {

/// The rows as the run added them.
class ResultsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void Append(const ResultRow& row);
  void Clear();
  const ResultRow& Row(int source_row) const { return rows_[static_cast<size_t>(source_row)]; }
  const std::vector<ResultRow>& Rows() const { return rows_; }

 private:
  std::vector<ResultRow> rows_;
};

/// The display order: an explicit list of model rows. Sorting rebuilds it
/// with a stable merge sort; rows the model gains are appended at the end.
class ResultsSortProxy : public QAbstractProxyModel {
  Q_OBJECT
 public:
  explicit ResultsSortProxy(ResultsModel* model, QObject* parent = nullptr);
  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex&) const override { return {}; }
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QModelIndex mapToSource(const QModelIndex& proxy) const override;
  QModelIndex mapFromSource(const QModelIndex& source) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  void SortBy(int column, bool ascending);
  int SourceRow(int display_row) const { return order_[static_cast<size_t>(display_row)]; }

 private:
  ResultsModel* model_;
  std::vector<int> order_;     // display row -> model row
  std::vector<int> position_;  // model row -> display row
};

/// `path` shown in `width` pixels: whole when it fits, else its folders cut
/// in the middle ("/home/…/asm/macros.inc") and the file name kept whole; a
/// name too long on its own is cut in its middle.
QString ElidePath(const QFontMetrics& metrics, const QString& path, int width);

/// The list: the name column shows paths with ElidePath and takes the room
/// the count columns leave; each count column is as wide as its widest text
/// (at least its given width) while the list has room for it, and cuts its
/// texts at the end when it has not. Every cell's tooltip is its whole text.
class SortListCtrl : public QTableView {
  Q_OBJECT
 public:
  explicit SortListCtrl(QWidget* parent = nullptr);

  void AddResultRow(const ResultRow& row);
  void ClearResults();
  /// Sorts as a header click does and shows the arrow.
  void SortBy(int column, bool ascending);
  int RowCount() const;
  /// The row shown at `display_row`.
  const ResultRow& RowAt(int display_row) const;
  std::vector<const ResultRow*> RowsInDisplayOrder() const;
  /// The selected display row, or -1.
  int SelectedRow() const;
  /// Selects a display row and scrolls it into view.
  void SelectRow(int display_row);
  int SortColumn() const { return sort_column_; }
  bool SortAscending() const { return ascending_; }

 private:
  void OnHeaderClicked(int column);
  void resizeEvent(QResizeEvent* event) override;
  void FitColumns();
  int TextWidth(const std::string& text) const;

  ResultsModel* model_;
  ResultsSortProxy* proxy_;
  int sort_column_ = -1;
  bool ascending_ = true;
  std::array<int, 6> widest_{};           // the widest text of each column so far
  std::array<qreal, 128> ascii_width_{};  // the advance of each ASCII character
};

}  // namespace tv
