#include <gtest/gtest.h>

#include <QImage>

#include "controls/StripedGrid.h"

namespace {

void addColumns(StripedGrid& grid, int n) {
  for (int i = 0; i < n; ++i) grid.columns().add();
}

TEST(GridColumnList, AddingAndClearingChangesTheGridsColumns) {
  StripedGrid grid;
  EXPECT_EQ(grid.model()->columnCount(), 0);
  addColumns(grid, 3);
  EXPECT_EQ(grid.model()->columnCount(), 3);
  grid.setColWidth(1, 90);
  grid.columns().add();  // the widths set stay
  EXPECT_EQ(grid.columnWidth(1), 90);
  EXPECT_EQ(grid.columnWidth(3), 64);
  grid.columns().clear();
  EXPECT_EQ(grid.model()->columnCount(), 0);
}

TEST(StripedGrid, StripesEvenRowsAndShowsCaptionsInTheTitleRow) {
  StripedGrid grid;
  addColumns(grid, 2);
  grid.setStripeColor(QColor(0xFF, 0xF7, 0xFF));
  grid.setRowCount(7);
  EXPECT_EQ(grid.cellColor(0, 2), grid.gridColor());  // plain until striped
  grid.setLineStyle(GridLineStyle::striped);
  for (int r : {2, 4, 6}) EXPECT_EQ(grid.cellColor(0, r), QColor(0xFF, 0xF7, 0xFF));
  for (int r : {1, 3, 5}) EXPECT_EQ(grid.cellColor(0, r), grid.gridColor());

  grid.columns()[0].setCaption(QString());
  EXPECT_EQ(grid.model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral(" "));
  grid.columns()[0].setCaption(QStringLiteral("送信指示"));
  EXPECT_EQ(grid.model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("送信指示"));
  grid.setCell(0, 0, QStringLiteral("上書き"));
  EXPECT_EQ(grid.model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("上書き"));
}

// Whether any pixel of the columns [x0, x1) of the rectangle is dark (text).
bool inkIn(const QImage& image, const QRect& rect, int x0, int x1) {
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    for (int x = x0; x < x1; ++x)
      if (QColor(image.pixel(x, y)).lightness() < 128) return true;
  return false;
}

TEST(StripedGrid, CellTextKeepsClearOfTheCellBorders) {
  StripedGrid grid;
  addColumns(grid, 2);
  grid.setColWidth(0, 60);
  grid.setColWidth(1, 60);
  grid.columns()[1].setAlignment(Qt::AlignRight);
  grid.setCell(0, 1, QString(20, QChar(0x25A0)));  // ■ fills the cell from edge to edge
  grid.setCell(1, 1, QString(20, QChar(0x25A0)));
  grid.resize(200, 100);
  grid.show();
  const QImage image = grid.viewport()->grab().toImage();
  const QRect left = grid.visualRect(grid.model()->index(0, 0));
  const QRect right = grid.visualRect(grid.model()->index(0, 1));
  EXPECT_TRUE(inkIn(image, left, left.left(), left.right()));
  EXPECT_FALSE(inkIn(image, left, left.left(), left.left() + 4));
  EXPECT_FALSE(inkIn(image, left, left.right() - 3, left.right() + 1));
  EXPECT_TRUE(inkIn(image, right, right.left(), right.right()));
  EXPECT_FALSE(inkIn(image, right, right.right() - 3, right.right() + 1));
}

TEST(StripedGrid, CellsAndRowsKeepGridNumbering) {
  StripedGrid grid;
  addColumns(grid, 4);
  grid.setRowCount(3);
  grid.setCell(1, 2, QStringLiteral("b"));
  grid.setRow(1, {QStringLiteral("a0"), QStringLiteral("a1")});
  EXPECT_EQ(grid.cell(1, 2), QStringLiteral("b"));
  EXPECT_EQ(grid.cell(1, 1), QStringLiteral("a1"));
  EXPECT_EQ(grid.cell(3, 1), QString());
  EXPECT_EQ(grid.cell(9, 9), QString());
  grid.setRowCount(2);
  EXPECT_EQ(grid.cell(1, 2), QString());
  grid.setRow(1);
  EXPECT_EQ(grid.currentRow(), 1);
}

TEST(StripedGrid, RowsNeverSetComeFromTheCellSourceUntilTheyAreSet) {
  StripedGrid grid;
  addColumns(grid, 3);
  grid.setRowCount(4);
  int asked = 0;
  grid.setCellSource([&asked](int col, int row) {
    ++asked;
    return QStringLiteral("%1:%2").arg(col).arg(row);
  });
  EXPECT_EQ(grid.cell(2, 3), QStringLiteral("2:3"));
  EXPECT_GT(asked, 0);
  // One changed cell keeps the rest of its row as the source gave it.
  grid.setCell(1, 2, QStringLiteral("x"));
  EXPECT_EQ(grid.cell(0, 2), QStringLiteral("0:2"));
  EXPECT_EQ(grid.cell(1, 2), QStringLiteral("x"));
  grid.setRow(1, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
  EXPECT_EQ(grid.cell(2, 1), QStringLiteral("c"));
  grid.setCellSource(nullptr);
  EXPECT_EQ(grid.cell(2, 3), QString());
  EXPECT_EQ(grid.cell(1, 2), QStringLiteral("x"));
}

}  // namespace
