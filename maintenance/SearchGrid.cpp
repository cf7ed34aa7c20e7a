#include "maintenance/SearchGrid.h"

#include <QAbstractItemView>
#include <QPainter>

#include "controls/StripedGrid.h"

namespace {
const QColor kStripe(0xFF, 0xF7, 0xFF);  // 0xFFF7FF in blue-green-red order
const QColor kSelected(0, 0, 0xFF);      // pure blue
constexpr int kInitialRows = 31;
}  // namespace

void setupSearchGrid(StripedGrid* grid, const std::vector<SearchColumn>& columns) {
  GridColumnList& cols = grid->columns();
  cols.clear();
  for (const SearchColumn& c : columns) {
    GridColumn& col = cols.add();
    col.setCaption(c.title);
    col.setAlignment(c.alignment);
    grid->setColWidth(cols.count() - 1, c.width);
  }
  grid->setDefaultRowHeight(20);
  grid->setRowCount(kInitialRows);
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setShowGrid(true);
  grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setLineStyle(GridLineStyle::striped);
  grid->setStripeColor(kStripe);
  grid->onDrawCell = [grid](QPainter* p, int col, int row, const QRect& rect, bool) {
    paintSearchCell(grid, p, col, row, rect);
  };
}

namespace {
void emptyRows(StripedGrid* grid, int rows) {
  grid->beginUpdate();
  grid->setRowCount(1);
  grid->setRowCount(rows);
  grid->endUpdate();
}
}  // namespace

void resetSearchGrid(StripedGrid* grid) { emptyRows(grid, kInitialRows); }

void emptySearchGrid(StripedGrid* grid) { emptyRows(grid, grid->rowCount()); }

bool searchRowFilled(const StripedGrid* grid, int row) {
  return !(grid->cell(0, row) + grid->cell(1, row)).trimmed().isEmpty();
}

void paintSearchCell(StripedGrid* grid, QPainter* painter, int col, int row, const QRect& rect) {
  if (row < 1 || !searchRowFilled(grid, row)) return;
  const QColor window = grid->gridColor();
  const bool selected = row == grid->currentRow();
  painter->save();
  painter->fillRect(rect.adjusted(-2, -2, 2, 2), selected ? kSelected : (row % 2 == 1 ? window : kStripe));
  QFont font = painter->font();
  font.setBold(false);
  font.setItalic(false);
  painter->setFont(font);
  painter->setPen(selected ? window : QColor(Qt::black));
  const Qt::Alignment align = (col == 0 ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter;
  painter->drawText(rect, static_cast<int>(align) | Qt::TextSingleLine, grid->cell(col, row));
  painter->restore();
}
