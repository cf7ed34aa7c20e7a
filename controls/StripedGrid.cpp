#include "controls/StripedGrid.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

// ---- model -----------------------------------------------------------------------

// The grid's data rows as plain strings (the title row lives in the grid's columns).
class StringGridModel : public QAbstractTableModel {
 public:
  explicit StringGridModel(StripedGrid* grid) : QAbstractTableModel(grid), m_grid(grid) {}

  int rowCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
  }
  int columnCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : m_cols; }

  QVariant data(const QModelIndex& index, int role) const override {
    if (role == Qt::DisplayRole || role == Qt::EditRole) return cell(index.column(), index.row() + 1);
    return QVariant();
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_cols) return QVariant();
    GridColumnList& cols = m_grid->columns();
    const bool described = section < cols.count();
    switch (role) {
      case Qt::DisplayRole: {
        QString t = cell(section, 0);
        if (t.isEmpty() && described) t = cols[section].caption();
        return t;
      }
      case Qt::TextAlignmentRole:
        return described ? QVariant(int(cols[section].alignment() | Qt::AlignVCenter)) : QVariant();
      default:
        return QVariant();
    }
  }

  Qt::ItemFlags flags(const QModelIndex&) const override { return Qt::ItemIsEnabled | Qt::ItemIsSelectable; }

  QString cell(int col, int row) const {
    if (col < 0 || col >= m_cols) return QString();
    if (row == 0) return col < static_cast<int>(m_titles.size()) ? m_titles[static_cast<size_t>(col)] : QString();
    const size_t r = static_cast<size_t>(row - 1);
    if (row < 1 || r >= m_rows.size()) return QString();
    const std::vector<QString>& cells = m_rows[r];
    if (cells.empty() && m_source) return m_source(col, row);
    return col < static_cast<int>(cells.size()) ? cells[static_cast<size_t>(col)] : QString();
  }

  void setSource(std::function<QString(int col, int row)> source) {
    beginResetModel();
    m_source = std::move(source);
    endResetModel();
  }

  void setCell(int col, int row, const QString& text) {
    if (col < 0 || col >= m_cols || row < 0 || row > static_cast<int>(m_rows.size())) return;
    if (row == 0) {
      if (m_titles.size() <= static_cast<size_t>(col)) m_titles.resize(static_cast<size_t>(col) + 1);
      m_titles[static_cast<size_t>(col)] = text;
      if (!m_quiet) emit headerDataChanged(Qt::Horizontal, col, col);
      return;
    }
    std::vector<QString>& cells = m_rows[static_cast<size_t>(row - 1)];
    // A row shown from the source becomes a row of its own before one cell changes.
    if (cells.empty() && m_source)
      for (int c = 0; c < m_cols; ++c) cells.push_back(m_source(c, row));
    if (cells.size() <= static_cast<size_t>(col)) cells.resize(static_cast<size_t>(m_cols));
    cells[static_cast<size_t>(col)] = text;
    if (!m_quiet) {
      const QModelIndex i = index(row - 1, col);
      emit dataChanged(i, i);
    }
  }

  void setRowCells(int row, std::vector<QString> cells) {
    if (row < 1 || row > static_cast<int>(m_rows.size())) return;
    m_rows[static_cast<size_t>(row - 1)] = std::move(cells);
    if (!m_quiet) emit dataChanged(index(row - 1, 0), index(row - 1, m_cols - 1));
  }

  void setDataRows(int n) {
    if (n < 0) n = 0;
    const int old = static_cast<int>(m_rows.size());
    if (n == old) return;
    if (m_quiet) {
      m_rows.resize(static_cast<size_t>(n));
      return;
    }
    if (n > old) {
      beginInsertRows(QModelIndex(), old, n - 1);
      m_rows.resize(static_cast<size_t>(n));
      endInsertRows();
    } else {
      beginRemoveRows(QModelIndex(), n, old - 1);
      m_rows.resize(static_cast<size_t>(n));
      endRemoveRows();
    }
  }

  void setCols(int n) {
    if (n < 0) n = 0;
    if (n == m_cols) return;
    beginResetModel();
    m_cols = n;
    for (auto& r : m_rows)
      if (r.size() > static_cast<size_t>(n)) r.resize(static_cast<size_t>(n));
    if (m_titles.size() > static_cast<size_t>(n)) m_titles.resize(static_cast<size_t>(n));
    endResetModel();
  }

  void beginQuiet() {
    if (m_quiet++ == 0) beginResetModel();
  }
  void endQuiet() {
    if (m_quiet > 0 && --m_quiet == 0) endResetModel();
  }

 private:
  StripedGrid* m_grid;
  int m_cols = 0;
  std::vector<QString> m_titles;
  std::vector<std::vector<QString>> m_rows;
  std::function<QString(int col, int row)> m_source;
  int m_quiet = 0;
};

// ---- drawing ---------------------------------------------------------------------

// Room between a cell's text and its borders, so neighbouring cells never run together.
constexpr int kCellPadding = 5;

// Draws a cell as its column describes, then lets the screen paint over it.
class GridDelegate : public QStyledItemDelegate {
 public:
  explicit GridDelegate(StripedGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const int col = index.column();
    const int row = index.row() + 1;
    const bool selected = option.state & QStyle::State_Selected;
    if (m_grid->defaultDrawing) {
      painter->save();
      painter->fillRect(option.rect, m_grid->cellColor(col, row));
      painter->setFont(m_grid->font());
      const QRect r = option.rect.adjusted(kCellPadding, 1, -kCellPadding, -1);
      const int flags = static_cast<int>(m_grid->columns()[col].alignment()) | Qt::AlignVCenter | Qt::TextSingleLine;
      painter->setPen(option.palette.color(QPalette::Text));
      painter->drawText(r, flags, m_grid->cell(col, row));
      painter->restore();
    }
    if (m_grid->onDrawCell) m_grid->onDrawCell(painter, col, row, option.rect, selected);
  }

 private:
  StripedGrid* m_grid;
};

// ---- columns ----------------------------------------------------------------------

void GridColumn::setAlignment(Qt::Alignment a) {
  m_alignment = a;
  m_grid->repaintGrid();
}
void GridColumn::setCaption(const QString& caption) {
  m_caption = caption.isEmpty() ? QStringLiteral(" ") : caption;
  m_grid->repaintGrid();
}

GridColumn& GridColumnList::add() {
  m_items.push_back(std::make_unique<GridColumn>(m_grid));
  m_grid->columnsChanged();
  return *m_items.back();
}

void GridColumnList::clear() {
  m_items.clear();
  m_grid->columnsChanged();
}

// ---- grid -------------------------------------------------------------------------

StripedGrid::StripedGrid(QWidget* parent)
    : QTableView(parent), m_model(new StringGridModel(this)), m_columns(this) {
  m_color = palette().color(QPalette::Base);
  m_stripe = m_color;
  setModel(m_model);
  setItemDelegate(new GridDelegate(this));
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(20);
  horizontalHeader()->setHighlightSections(false);
  setWordWrap(false);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setRowCount(2);  // the title row and one data row
}

StripedGrid::~StripedGrid() = default;

void StripedGrid::setLineStyle(GridLineStyle s) {
  m_style = s;
  repaintGrid();
}

void StripedGrid::setStripeColor(const QColor& c) {
  m_stripe = c;
  repaintGrid();
}

void StripedGrid::columnsChanged() {
  m_model->setCols(m_columns.count());
  for (int i = 0; i < m_columns.count(); ++i) setColumnWidth(i, m_columns[i].width);
  repaintGrid();
}

int StripedGrid::rowCount() const { return m_model->rowCount() + 1; }
void StripedGrid::setRowCount(int n) { m_model->setDataRows(n - 1); }

void StripedGrid::setDefaultRowHeight(int h) { verticalHeader()->setDefaultSectionSize(h); }

void StripedGrid::setColWidth(int col, int width) {
  if (col < m_columns.count()) m_columns[col].width = width;
  setColumnWidth(col, width);
}

QString StripedGrid::cell(int col, int row) const { return m_model->cell(col, row); }
void StripedGrid::setCell(int col, int row, const QString& text) { m_model->setCell(col, row, text); }
void StripedGrid::setRow(int row, std::vector<QString> cells) { m_model->setRowCells(row, std::move(cells)); }
void StripedGrid::setCellSource(std::function<QString(int col, int row)> source) { m_model->setSource(std::move(source)); }
void StripedGrid::beginUpdate() { m_model->beginQuiet(); }
void StripedGrid::endUpdate() { m_model->endQuiet(); }

int StripedGrid::currentRow() const {
  const QModelIndex i = currentIndex();
  return i.isValid() ? i.row() + 1 : -1;
}

void StripedGrid::setRow(int row) {
  if (row < 1 || row >= rowCount()) return;
  const int col = currentIndex().isValid() ? currentIndex().column() : 0;
  setCurrentIndex(m_model->index(row - 1, col));
}

QColor StripedGrid::cellColor(int, int row) const {
  return m_style == GridLineStyle::striped && row % 2 == 0 ? m_stripe : m_color;
}

void StripedGrid::repaintGrid() {
  viewport()->update();
  horizontalHeader()->viewport()->update();
}
