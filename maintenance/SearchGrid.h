#pragma once
#include <QString>
#include <Qt>
#include <vector>

class QPainter;
class QRect;
class StripedGrid;

// The result list of the two search dialogs: read-only, whole-row selection, striped,
// one title row, and the selected filled row painted in blue.
struct SearchColumn {
  QString title;
  Qt::Alignment alignment;
  int width;
};

void setupSearchGrid(StripedGrid* grid, const std::vector<SearchColumn>& columns);

// Back to 31 rows (title and 30 data rows) with every data cell empty.
void resetSearchGrid(StripedGrid* grid);
// Every data cell empty, the number of rows kept.
void emptySearchGrid(StripedGrid* grid);

// Paints over a data cell whose row holds data: blue with window-coloured text for the
// selected row, otherwise the stripe pattern with black text.
void paintSearchCell(StripedGrid* grid, QPainter* painter, int col, int row, const QRect& rect);

// Whether a grid row holds data (columns 0 and 1 together not blank).
bool searchRowFilled(const StripedGrid* grid, int row);
