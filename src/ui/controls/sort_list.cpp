#include "ui/controls/sort_list.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QPainter>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>
#include <cmath>

#include "reports/result_sort.h"
#include "reports/result_texts.h"

namespace tv {

namespace {

QString Text(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

const std::vector<ColumnHeader>& Columns() {
  static const std::vector<ColumnHeader> columns = ParseColumnSpec(kColumnSpec);
  return columns;
}

}  // namespace

int ResultsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(Columns().size());
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.column() >= 6) return {};
  if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == Qt::ToolTipRole) {
    return Text(rows_[static_cast<size_t>(index.row())][static_cast<size_t>(index.column())]);
  }
  if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
  return {};
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 ||
      section >= static_cast<int>(Columns().size())) {
    return {};
  }
  if (role == Qt::DisplayRole) return Text(Columns()[static_cast<size_t>(section)].text).trimmed();
  if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
  return {};
}

void ResultsModel::Append(const ResultRow& row) {
  const int n = static_cast<int>(rows_.size());
  beginInsertRows({}, n, n);
  rows_.push_back(row);
  endInsertRows();
}

void ResultsModel::Clear() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

ResultsSortProxy::ResultsSortProxy(ResultsModel* model, QObject* parent)
    : QAbstractProxyModel(parent), model_(model) {
  setSourceModel(model);
  // New rows go to the end of the display, unsorted.
  connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this,
          [this](const QModelIndex&, int first, int last) {
            const int at = static_cast<int>(order_.size());
            beginInsertRows({}, at, at + (last - first));
          });
  connect(model, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) {
            for (int r = first; r <= last; ++r) {
              position_.push_back(static_cast<int>(order_.size()));
              order_.push_back(r);
            }
            endInsertRows();
          });
  connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
  connect(model, &QAbstractItemModel::modelReset, this, [this] {
    order_.clear();
    position_.clear();
    endResetModel();
  });
}

QModelIndex ResultsSortProxy::index(int row, int column, const QModelIndex& parent) const {
  if (parent.isValid() || row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) {
    return {};
  }
  return createIndex(row, column);
}

int ResultsSortProxy::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

int ResultsSortProxy::columnCount(const QModelIndex& parent) const {
  return model_->columnCount(parent);
}

QModelIndex ResultsSortProxy::mapToSource(const QModelIndex& proxy) const {
  if (!proxy.isValid()) return {};
  return model_->index(order_[static_cast<size_t>(proxy.row())], proxy.column());
}

QModelIndex ResultsSortProxy::mapFromSource(const QModelIndex& source) const {
  if (!source.isValid()) return {};
  return index(position_[static_cast<size_t>(source.row())], source.column());
}

QVariant ResultsSortProxy::data(const QModelIndex& index, int role) const {
  // Every second display row on light grey, with black text.
  if (index.isValid() && index.row() % 2 == 1) {
    if (role == Qt::BackgroundRole) return QBrush(QColor(238, 238, 238));
    if (role == Qt::ForegroundRole) return QBrush(Qt::black);
  }
  return QAbstractProxyModel::data(index, role);
}

void ResultsSortProxy::SortBy(int column, bool ascending) {
  const auto& rows = model_->Rows();
  if (column < 0 || column >= 6 || rows.empty()) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  std::vector<int> source_of_before;
  for (const QModelIndex& i : before)
    source_of_before.push_back(order_[static_cast<size_t>(i.row())]);
  const auto col = static_cast<size_t>(column);
  // Descending is the comparison with its arguments swapped.
  std::vector<size_t> sorted = StableSortOrder(rows.size(), [&](size_t a, size_t b) {
    return ascending ? CompareCellTexts(rows[a][col], rows[b][col])
                     : CompareCellTexts(rows[b][col], rows[a][col]);
  });
  for (size_t d = 0; d < sorted.size(); ++d) {
    order_[d] = static_cast<int>(sorted[d]);
    position_[sorted[d]] = static_cast<int>(d);
  }
  QModelIndexList after;
  for (size_t k = 0; k < static_cast<size_t>(before.size()); ++k) {
    after << index(position_[static_cast<size_t>(source_of_before[k])], before[k].column());
  }
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QString ElidePath(const QFontMetrics& metrics, const QString& path, int width) {
  if (metrics.horizontalAdvance(path) <= width) return path;
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  const QString name = path.mid(slash + 1);
  const int room = width - metrics.horizontalAdvance(name);
  if (slash < 0 || room < metrics.horizontalAdvance(QStringLiteral("…/"))) {
    return metrics.elidedText(name, Qt::ElideMiddle, width);
  }
  return metrics.elidedText(path.left(slash + 1), Qt::ElideMiddle, room) + name;
}

namespace {

// Draws a name cell with its path cut by ElidePath to the cell's text room.
class PathDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem cell(option);
    initStyleOption(&cell, index);
    const QWidget* view = cell.widget;
    QStyle* style = view != nullptr ? view->style() : QApplication::style();
    // The style draws the text inside these margins.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, view);
    cell.text = ElidePath(cell.fontMetrics, cell.text, text.width() - 2 * margin);
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, view);
  }
};

// The sort arrow points up for ascending and down for descending (Qt's own
// header draws it the other way round).
class SortHeader : public QHeaderView {
 public:
  explicit SortHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

 protected:
  void initStyleOptionForIndex(QStyleOptionHeader* option, int logical_index) const override {
    QHeaderView::initStyleOptionForIndex(option, logical_index);
    if (option->sortIndicator == QStyleOptionHeader::SortDown) {
      option->sortIndicator = QStyleOptionHeader::SortUp;
    } else if (option->sortIndicator == QStyleOptionHeader::SortUp) {
      option->sortIndicator = QStyleOptionHeader::SortDown;
    }
  }
};

}  // namespace

SortListCtrl::SortListCtrl(QWidget* parent)
    : QTableView(parent),
      model_(new ResultsModel(this)),
      proxy_(new ResultsSortProxy(model_, this)) {
  setHorizontalHeader(new SortHeader(this));
  setModel(proxy_);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  setWordWrap(false);
  setTextElideMode(Qt::ElideRight);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  QHeaderView* header = horizontalHeader();
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(false);  // no arrow until the first click
  header->setHighlightSections(false);
  setItemDelegateForColumn(0, new PathDelegate(this));
  const QFontMetricsF metrics(font());
  for (char16_t c = 32; c < 128; ++c) ascii_width_[c] = metrics.horizontalAdvance(QChar(c));
  FitColumns();
  connect(header, &QHeaderView::sectionClicked, this, &SortListCtrl::OnHeaderClicked);
}

int SortListCtrl::TextWidth(const std::string& text) const {
  // The count cells are ASCII: their widths add up from a table, so a run
  // of many rows costs no text layout.
  qreal width = 0;
  for (const unsigned char c : text) {
    if (c < 32 || c >= 128) return fontMetrics().horizontalAdvance(QString::fromStdString(text));
    width += ascii_width_[c];
  }
  return static_cast<int>(std::ceil(width));
}

void SortListCtrl::FitColumns() {
  // Column widths are given for a 12-pixel font: scale them to this one.
  const double scale = fontMetrics().height() / 12.0;
  const auto& columns = Columns();
  const int padding = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 2);
  std::array<int, 6> given{}, wanted{};
  int given_sum = 0, wanted_sum = 0;
  for (size_t c = 1; c < 6; ++c) {
    given[c] = static_cast<int>(columns[c].width * scale);
    wanted[c] = std::max(given[c], widest_[c] + padding);
    given_sum += given[c];
    wanted_sum += wanted[c];
  }
  // The name column keeps at least half its given width; the count columns
  // share out what is left beyond their own widths.
  const int name_floor = static_cast<int>(columns[0].width * scale / 2);
  const int room = std::max(0, viewport()->width() - name_floor - given_sum);
  const double share =
      wanted_sum > given_sum ? std::min(1.0, double(room) / (wanted_sum - given_sum)) : 1.0;
  int used = 0;
  for (size_t c = 1; c < 6; ++c) {
    const int width = given[c] + static_cast<int>((wanted[c] - given[c]) * share);
    setColumnWidth(static_cast<int>(c), width);
    used += width;
  }
  setColumnWidth(0, std::max(name_floor, viewport()->width() - used));
}

void SortListCtrl::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  FitColumns();
}

void SortListCtrl::OnHeaderClicked(int column) {
  SortBy(column, column == sort_column_ ? !ascending_ : true);
}

void SortListCtrl::SortBy(int column, bool ascending) {
  sort_column_ = column;
  ascending_ = ascending;
  horizontalHeader()->setSortIndicatorShown(true);
  horizontalHeader()->setSortIndicator(column,
                                       ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
  proxy_->SortBy(column, ascending);
}

void SortListCtrl::AddResultRow(const ResultRow& row) {
  model_->Append(row);
  bool wider = false;
  for (size_t c = 1; c < 6; ++c) {
    const int width = TextWidth(row[c]);
    if (width > widest_[c]) {
      widest_[c] = width;
      wider = true;
    }
  }
  if (wider) FitColumns();
}

void SortListCtrl::ClearResults() {
  model_->Clear();  // the sort column and its arrow stay
  widest_.fill(0);
  FitColumns();
}

int SortListCtrl::RowCount() const {
  return proxy_->rowCount();
}

const ResultRow& SortListCtrl::RowAt(int display_row) const {
  return model_->Row(proxy_->SourceRow(display_row));
}

std::vector<const ResultRow*> SortListCtrl::RowsInDisplayOrder() const {
  std::vector<const ResultRow*> rows;
  rows.reserve(static_cast<size_t>(RowCount()));
  for (int r = 0; r < RowCount(); ++r) rows.push_back(&RowAt(r));
  return rows;
}

int SortListCtrl::SelectedRow() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.front().row();
}

void SortListCtrl::SelectRow(int display_row) {
  if (display_row < 0 || display_row >= RowCount()) return;
  selectRow(display_row);
  scrollTo(proxy_->index(display_row, 0), QAbstractItemView::EnsureVisible);
}

}  // namespace tv
