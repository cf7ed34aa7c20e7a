#include "controls/StripedGrid.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <cmath>
#include <QStyledItemDelegate>

#include "controls/GridCellEditor.h"

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
      case Qt::FontRole:
        return described ? QVariant(cols[section].fixedCellFont()) : QVariant();
      case Qt::TextAlignmentRole:
        return described ? QVariant(int(cols[section].alignment() | Qt::AlignVCenter)) : QVariant();
      default:
        return QVariant();
    }
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_grid->editing()) {
      GridColumnList& cols = m_grid->columns();
      if (index.column() >= cols.count() || cols[index.column()].canEdit) f |= Qt::ItemIsEditable;
    }
    return f;
  }

  bool setData(const QModelIndex& index, const QVariant& value, int role) override {
    if (role != Qt::EditRole) return false;
    setCell(index.column(), index.row() + 1, value.toString());
    return true;
  }

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

// ---- drawing and editing ------------------------------------------------------------

// Room between a cell's text and its borders, so neighbouring cells never run together.
constexpr int kCellPadding = 5;

// Draws a cell as its column describes and opens the cell editor.
class GridDelegate : public QStyledItemDelegate {
 public:
  explicit GridDelegate(StripedGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const int col = index.column();
    const int row = index.row() + 1;
    const bool selected = option.state & QStyle::State_Selected;
    if (m_grid->defaultDrawing) {
      GridColumnList& cols = m_grid->columns();
      if (col < cols.count()) {
        const GridColumn& c = cols[col];
        painter->save();
        painter->fillRect(option.rect, m_grid->cellColor(col, row));
        painter->setFont(c.font());
        const QRect r = option.rect.adjusted(kCellPadding, 1, -kCellPadding, -1);
        int flags = static_cast<int>(c.alignment()) | Qt::AlignVCenter;
        flags |= c.wordWrap() ? Qt::TextWordWrap : Qt::TextSingleLine;
        painter->setPen(option.palette.color(QPalette::Text));
        painter->drawText(r, flags, m_grid->displayText(col, row));
        painter->restore();
      }
    }
    if (m_grid->onDrawCell) m_grid->onDrawCell(painter, col, row, option.rect, selected);
  }

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
    auto* editor = new GridCellEditor(m_grid, parent);
    editor->openOn(index.column(), index.row() + 1);
    return editor;
  }

  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    static_cast<GridCellEditor*>(editor)->loadText(m_grid->cell(index.column(), index.row() + 1));
  }

  void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {
    // The editor stores its text into the cell as it changes.
  }

 private:
  StripedGrid* m_grid;
};

// ---- columns ----------------------------------------------------------------------

GridColumn::GridColumn(StripedGrid* grid)
    : m_grid(grid), m_color(grid->gridColor()), m_font(grid->font()), m_fixedCellFont(grid->font()) {}

void GridColumn::changed() {
  if (m_grid) m_grid->repaintGrid();
}
void GridColumn::setAlignment(Qt::Alignment a) {
  m_alignment = a;
  changed();
}
void GridColumn::setCaption(const QString& caption) {
  m_caption = caption.isEmpty() ? QStringLiteral(" ") : caption;
  changed();
}
void GridColumn::setColor(const QColor& c) {
  m_color = c;
  changed();
}
void GridColumn::setFont(const QFont& f) {
  m_font = f;
  changed();
}
void GridColumn::setFixedCellFont(const QFont& f) {
  m_fixedCellFont = f;
  changed();
}
void GridColumn::setWordWrap(bool w) {
  m_wordWrap = w;
  changed();
}

void GridColumn::assign(const GridColumn& o) {
  m_alignment = o.m_alignment;
  canEdit = o.canEdit;
  m_caption = o.m_caption;
  m_color = o.m_color;
  dataType = o.dataType;
  displayMask = o.displayMask;
  m_font = o.m_font;
  m_fixedCellFont = o.m_fixedCellFont;
  imeMode = o.imeMode;
  m_wordWrap = o.m_wordWrap;
  multiLine = o.multiLine;
  changed();
}

void GridColumnList::appendSilently() { m_items.push_back(std::make_unique<GridColumn>(m_grid)); }
void GridColumnList::removeLastSilently() { m_items.pop_back(); }

GridColumn& GridColumnList::add() {
  appendSilently();
  if (synchronize) m_grid->columnsChanged();
  return *m_items.back();
}

void GridColumnList::remove(int index) {
  if (index < 0 || index >= count()) return;
  m_items.erase(m_items.begin() + index);
  if (synchronize) m_grid->columnsChanged();
}

void GridColumnList::clear() {
  m_items.clear();
  if (synchronize) m_grid->columnsChanged();
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
  setColumnCount(4);
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

void StripedGrid::setEditing(bool on) {
  m_editing = on;
  setEditTriggers(on ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed
                     : QAbstractItemView::NoEditTriggers);
}

int StripedGrid::columnCount() const { return m_model->columnCount(); }

void StripedGrid::setColumnCount(int n) {
  m_model->setCols(n);
  if (m_syncing) return;
  // The column descriptions follow the count.
  m_columns.synchronize = false;
  while (m_columns.count() < n) m_columns.appendSilently();
  while (m_columns.count() > n) m_columns.removeLastSilently();
  m_columns.synchronize = true;
  for (int i = 0; i < n; ++i) setColumnWidth(i, m_columns[i].width);
}

void StripedGrid::columnsChanged() {
  m_syncing = true;
  m_model->setCols(m_columns.count());
  m_syncing = false;
  for (int i = 0; i < m_columns.count(); ++i) setColumnWidth(i, m_columns[i].width);
  repaintGrid();
}

int StripedGrid::rowCount() const { return m_model->rowCount() + 1; }
void StripedGrid::setRowCount(int n) { m_model->setDataRows(n - 1); }

int StripedGrid::defaultRowHeight() const { return verticalHeader()->defaultSectionSize(); }
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

QColor StripedGrid::cellColor(int col, int row) const {
  if (m_style == GridLineStyle::striped) return row % 2 == 0 ? m_stripe : m_color;
  return col < m_columns.count() ? m_columns[col].color() : m_color;
}

QString StripedGrid::displayText(int col, int row) const {
  const QString text = cell(col, row);
  if (text.isEmpty() || col >= m_columns.count() || m_columns[col].displayMask.isEmpty()) return text;
  return formatWithMask(text, m_columns[col].displayMask);
}

void StripedGrid::repaintGrid() {
  viewport()->update();
  horizontalHeader()->viewport()->update();
}

// ---- masks ------------------------------------------------------------------------

namespace {
QString formatNumber(double value, const QString& mask) {
  const int point = mask.indexOf(QLatin1Char('.'));
  const QString intPart = point < 0 ? mask : mask.left(point);
  const QString fracPart = point < 0 ? QString() : mask.mid(point + 1);
  int decimals = 0;
  for (QChar c : fracPart)
    if (c == QLatin1Char('0') || c == QLatin1Char('#')) ++decimals;
  int minInt = 0;
  for (QChar c : intPart)
    if (c == QLatin1Char('0')) ++minInt;
  const bool thousands = intPart.contains(QLatin1Char(','));
  QString s = QString::number(std::abs(value), 'f', decimals);
  QString whole = s.section(QLatin1Char('.'), 0, 0);
  QString frac = decimals ? s.section(QLatin1Char('.'), 1, 1) : QString();
  // '#' places are optional: drop trailing zeros beyond the '0' places.
  int requiredFrac = 0;
  for (QChar c : fracPart) {
    if (c == QLatin1Char('0'))
      ++requiredFrac;
    else
      break;
  }
  while (frac.size() > requiredFrac && frac.endsWith(QLatin1Char('0'))) frac.chop(1);
  if (whole == QLatin1String("0") && minInt == 0) whole.clear();
  while (whole.size() < minInt) whole.prepend(QLatin1Char('0'));
  if (thousands)
    for (int i = whole.size() - 3; i > 0; i -= 3) whole.insert(i, QLatin1Char(','));
  QString out = whole;
  if (!frac.isEmpty()) out += QLatin1Char('.') + frac;
  if (value < 0 && (out.contains(QRegularExpression(QStringLiteral("[1-9]"))))) out.prepend(QLatin1Char('-'));
  return out.isEmpty() ? QStringLiteral("0") : out;
}

QString applyEditMask(const QString& text, QString mask) {
  const int semi = mask.indexOf(QLatin1Char(';'));
  if (semi >= 0) mask = mask.left(semi);
  static const QString placeholders = QStringLiteral("09#LlAaCc");
  QString out;
  int t = 0;
  for (int i = 0; i < mask.size(); ++i) {
    const QChar m = mask[i];
    if (m == QLatin1Char('!') || m == QLatin1Char('>') || m == QLatin1Char('<')) continue;
    if (m == QLatin1Char('\\') && i + 1 < mask.size()) {
      out += mask[++i];
    } else if (placeholders.contains(m)) {
      out += t < text.size() ? text[t++] : QLatin1Char(' ');
    } else {
      out += m;
    }
  }
  return out;
}
}  // namespace

QString formatWithMask(const QString& text, const QString& mask) {
  bool numeric = !text.isEmpty();
  for (QChar c : text)
    if (!(c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('.'))) numeric = false;
  if (numeric) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (ok) return formatNumber(v, mask);
  }
  return applyEditMask(text, mask);
}
