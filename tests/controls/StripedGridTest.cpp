#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <map>

#include "controls/GridCellEditor.h"
#include "controls/StripedGrid.h"

namespace {

TEST(GridColumnList, CountAndCollectionStayEqualBothWays) {
  StripedGrid grid;
  EXPECT_EQ(grid.columnCount(), 4);
  EXPECT_EQ(grid.columns().count(), 4);
  EXPECT_EQ(grid.defaultRowHeight(), 20);
  grid.columns().clear();
  for (int i = 0; i < 3; ++i) grid.columns().add();
  EXPECT_EQ(grid.columnCount(), 3);
  grid.columns()[0].setAlignment(Qt::AlignRight);
  grid.setColumnCount(5);
  ASSERT_EQ(grid.columns().count(), 5);
  const GridColumn& added = grid.columns()[4];
  EXPECT_EQ(added.alignment(), Qt::AlignLeft);
  EXPECT_TRUE(added.canEdit);
  EXPECT_EQ(added.dataType, InputKind::Text);
  EXPECT_EQ(added.color(), grid.gridColor());
  grid.setColumnCount(2);
  EXPECT_EQ(grid.columns().count(), 2);
  EXPECT_EQ(grid.columns()[0].alignment(), Qt::AlignRight);
  grid.columns().remove(0);
  EXPECT_EQ(grid.columnCount(), 1);
}

TEST(GridColumnList, EmptyCaptionIsABlankAndAssignCopiesEverything) {
  StripedGrid grid;
  GridColumn& a = grid.columns()[0];
  a.setCaption(QString());
  EXPECT_EQ(a.caption(), QStringLiteral(" "));
  a.setCaption(QStringLiteral("氏名"));
  a.setAlignment(Qt::AlignHCenter);
  a.canEdit = false;
  a.setColor(Qt::red);
  a.dataType = InputKind::Integer;
  a.displayMask = QStringLiteral("#,##0");
  a.imeMode = ImeMode::open;
  a.setWordWrap(true);
  a.multiLine = true;
  GridColumn& b = grid.columns()[1];
  b.assign(a);
  EXPECT_EQ(b.caption(), a.caption());
  EXPECT_EQ(b.alignment(), a.alignment());
  EXPECT_EQ(b.canEdit, a.canEdit);
  EXPECT_EQ(b.color(), a.color());
  EXPECT_EQ(b.dataType, a.dataType);
  EXPECT_EQ(b.displayMask, a.displayMask);
  EXPECT_EQ(b.imeMode, a.imeMode);
  EXPECT_EQ(b.wordWrap(), a.wordWrap());
  EXPECT_EQ(b.multiLine, a.multiLine);
}

TEST(StripedGrid, StripesEvenRowsAndShowsCaptionsInTheTitleRow) {
  StripedGrid grid;
  grid.setStripeColor(QColor(0xFF, 0xF7, 0xFF));
  grid.setLineStyle(GridLineStyle::striped);
  grid.setRowCount(7);
  for (int r : {2, 4, 6}) EXPECT_EQ(grid.cellColor(0, r), QColor(0xFF, 0xF7, 0xFF));
  for (int r : {1, 3, 5}) EXPECT_EQ(grid.cellColor(0, r), grid.gridColor());
  grid.setLineStyle(GridLineStyle::plain);
  grid.columns()[1].setColor(Qt::yellow);
  EXPECT_EQ(grid.cellColor(1, 2), QColor(Qt::yellow));

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
  grid.setColumnCount(2);
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
  grid.setColumnCount(3);
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

TEST(StripedGrid, DisplayMaskFormatsNumbersAndText) {
  EXPECT_EQ(formatWithMask(QStringLiteral("1234.5"), QStringLiteral("#,##0.00")), QStringLiteral("1,234.50"));
  EXPECT_EQ(formatWithMask(QStringLiteral("1234.5"), QStringLiteral("0")), QStringLiteral("1235"));
  EXPECT_EQ(formatWithMask(QStringLiteral("-7"), QStringLiteral("000")), QStringLiteral("-007"));
  EXPECT_EQ(formatWithMask(QStringLiteral("abc1234"), QStringLiteral("aaa-0000;0;_")), QStringLiteral("abc-1234"));
  StripedGrid grid;
  grid.columns()[0].displayMask = QStringLiteral("#,##0");
  grid.setCell(0, 1, QStringLiteral("1234567"));
  EXPECT_EQ(grid.displayText(0, 1), QStringLiteral("1,234,567"));
  EXPECT_EQ(grid.displayText(1, 1), QString());
}

// A grid column without a description (removed while the list did not synchronise) gets
// no fill and no text from the grid; the screen's own drawing is still raised for it.
TEST(StripedGrid, ColumnsBeyondTheCollectionAreLeftToTheScreen) {
  StripedGrid grid;
  grid.resize(400, 200);
  grid.setRowCount(2);
  for (int c = 0; c < 4; ++c) grid.columns()[c].setColor(Qt::yellow);
  grid.columns().synchronize = false;
  grid.columns().remove(3);
  grid.columns().synchronize = true;
  ASSERT_EQ(grid.columnCount(), 4);
  ASSERT_EQ(grid.columns().count(), 3);
  grid.setCell(0, 1, QStringLiteral("x"));
  grid.setCell(3, 1, QStringLiteral("x"));
  std::map<std::pair<int, int>, QRect> drawn;
  grid.onDrawCell = [&](QPainter*, int col, int row, const QRect& rect, bool) { drawn[{col, row}] = rect; };
  grid.show();
  QImage image(grid.size(), QImage::Format_ARGB32);
  grid.render(&image);
  ASSERT_TRUE(drawn.count({0, 1}));
  ASSERT_TRUE(drawn.count({3, 1}));
  // A point of each cell away from its text: described column filled, the other not.
  auto colourAt = [&](const QRect& cell) {
    return image.pixelColor(grid.viewport()->mapTo(&grid, cell.bottomRight() - QPoint(4, 4)));
  };
  EXPECT_EQ(colourAt(drawn[{0, 1}]), QColor(Qt::yellow));
  EXPECT_NE(colourAt(drawn[{3, 1}]), QColor(Qt::yellow));
  EXPECT_EQ(colourAt(drawn[{3, 1}]), grid.viewport()->palette().color(QPalette::Base));
}

void type(QWidget* w, const QString& text) {
  for (QChar ch : text) {
    QKeyEvent e(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
    QApplication::sendEvent(w, &e);
  }
}

TEST(GridCellEditor, IntegerColumnStoresCanonicalIntegers) {
  StripedGrid grid;
  grid.setEditing(true);
  grid.setRowCount(2);
  grid.columns()[0].dataType = InputKind::Integer;
  GridCellEditor editor(&grid, &grid);
  editor.openOn(0, 1);
  editor.loadText(QString());
  type(&editor, QStringLiteral("-"));
  EXPECT_EQ(grid.cell(0, 1), QStringLiteral("-0"));
  editor.loadText(QString());
  type(&editor, QStringLiteral("007"));
  EXPECT_EQ(grid.cell(0, 1), QStringLiteral("7"));
  editor.loadText(QString());
  editor.insertPlainText(QStringLiteral("+5"));  // pasted: "+5" is one change
  EXPECT_EQ(grid.cell(0, 1), QStringLiteral("5"));
  type(&editor, QStringLiteral("x"));  // refused as a key
  EXPECT_EQ(editor.toPlainText(), QStringLiteral("+5"));
  editor.loadText(QString());
  editor.insertPlainText(QStringLiteral("1.5"));  // no integer: back to the cell's text
  EXPECT_EQ(grid.cell(0, 1), QStringLiteral("5"));
  EXPECT_EQ(editor.toPlainText(), QStringLiteral("5"));
}

TEST(GridCellEditor, MultiLineEnterInsertsALineBreak) {
  StripedGrid grid;
  grid.setEditing(true);
  grid.columns()[1].multiLine = true;
  GridCellEditor editor(&grid, &grid);
  editor.openOn(1, 1);
  editor.loadText(QStringLiteral("a"));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
  QApplication::sendEvent(&editor, &enter);
  type(&editor, QStringLiteral("b"));
  EXPECT_EQ(grid.cell(1, 1), QStringLiteral("a\nb"));
}

}  // namespace
