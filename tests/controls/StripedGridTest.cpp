#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>

#include "controls/GridCellEditor.h"
#include "controls/StripedGrid.h"

namespace {

TEST(GridColumnList, CountAndCollectionStayEqualBothWays) {
  StripedGrid grid;
  EXPECT_EQ(grid.ColCount(), 4);
  EXPECT_EQ(grid.GridColumns().Count(), 4);
  EXPECT_EQ(grid.DefaultRowHeight(), 20);
  grid.GridColumns().Clear();
  for (int i = 0; i < 3; ++i) grid.GridColumns().Add();
  EXPECT_EQ(grid.ColCount(), 3);
  grid.GridColumns()[0].setAlignment(Qt::AlignRight);
  grid.setColCount(5);
  ASSERT_EQ(grid.GridColumns().Count(), 5);
  const GridColumn& added = grid.GridColumns()[4];
  EXPECT_EQ(added.Alignment(), Qt::AlignLeft);
  EXPECT_TRUE(added.CanEdit);
  EXPECT_EQ(added.DataType, InputKind::dtString);
  EXPECT_EQ(added.Color(), grid.GridColor());
  grid.setColCount(2);
  EXPECT_EQ(grid.GridColumns().Count(), 2);
  EXPECT_EQ(grid.GridColumns()[0].Alignment(), Qt::AlignRight);
  grid.GridColumns().Delete(0);
  EXPECT_EQ(grid.ColCount(), 1);
}

TEST(GridColumnList, EmptyCaptionIsABlankAndAssignCopiesEverything) {
  StripedGrid grid;
  GridColumn& a = grid.GridColumns()[0];
  a.setCaption(QString());
  EXPECT_EQ(a.Caption(), QStringLiteral(" "));
  a.setCaption(QStringLiteral("氏名"));
  a.setAlignment(Qt::AlignHCenter);
  a.CanEdit = false;
  a.setColor(Qt::red);
  a.DataType = InputKind::dtInteger;
  a.DisplayMask = QStringLiteral("#,##0");
  a.imeMode = ImeMode::open;
  a.setWordwrap(true);
  a.MultiLine = true;
  GridColumn& b = grid.GridColumns()[1];
  b.Assign(a);
  EXPECT_EQ(b.Caption(), a.Caption());
  EXPECT_EQ(b.Alignment(), a.Alignment());
  EXPECT_EQ(b.CanEdit, a.CanEdit);
  EXPECT_EQ(b.Color(), a.Color());
  EXPECT_EQ(b.DataType, a.DataType);
  EXPECT_EQ(b.DisplayMask, a.DisplayMask);
  EXPECT_EQ(b.imeMode, a.imeMode);
  EXPECT_EQ(b.Wordwrap(), a.Wordwrap());
  EXPECT_EQ(b.MultiLine, a.MultiLine);
}

TEST(StripedGrid, StripesEvenRowsAndShowsCaptionsInTheTitleRow) {
  StripedGrid grid;
  grid.setStripeColor(QColor(0xFF, 0xF7, 0xFF));
  grid.setGridStyle(GridLineStyle::gsStriped);
  grid.setRowCount(7);
  for (int r : {2, 4, 6}) EXPECT_EQ(grid.cellColor(0, r), QColor(0xFF, 0xF7, 0xFF));
  for (int r : {1, 3, 5}) EXPECT_EQ(grid.cellColor(0, r), grid.GridColor());
  grid.setGridStyle(GridLineStyle::gsNormal);
  grid.GridColumns()[1].setColor(Qt::yellow);
  EXPECT_EQ(grid.cellColor(1, 2), QColor(Qt::yellow));

  grid.GridColumns()[0].setCaption(QStringLiteral("送信指示"));
  EXPECT_EQ(grid.model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("送信指示"));
  grid.setCells(0, 0, QStringLiteral("上書き"));
  EXPECT_EQ(grid.model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("上書き"));
}

TEST(StripedGrid, CellsAndRowsKeepGridNumbering) {
  StripedGrid grid;
  grid.setRowCount(3);
  grid.setCells(1, 2, QStringLiteral("b"));
  grid.setRow(1, {QStringLiteral("a0"), QStringLiteral("a1")});
  EXPECT_EQ(grid.Cells(1, 2), QStringLiteral("b"));
  EXPECT_EQ(grid.Cells(1, 1), QStringLiteral("a1"));
  EXPECT_EQ(grid.Cells(3, 1), QString());
  EXPECT_EQ(grid.Cells(9, 9), QString());
  grid.setRowCount(2);
  EXPECT_EQ(grid.Cells(1, 2), QString());
  grid.setRow(1);
  EXPECT_EQ(grid.Row(), 1);
}

TEST(StripedGrid, DisplayMaskFormatsNumbersAndText) {
  EXPECT_EQ(FormatWithMask(QStringLiteral("1234.5"), QStringLiteral("#,##0.00")), QStringLiteral("1,234.50"));
  EXPECT_EQ(FormatWithMask(QStringLiteral("1234.5"), QStringLiteral("0")), QStringLiteral("1235"));
  EXPECT_EQ(FormatWithMask(QStringLiteral("-7"), QStringLiteral("000")), QStringLiteral("-007"));
  EXPECT_EQ(FormatWithMask(QStringLiteral("abc1234"), QStringLiteral("aaa-0000;0;_")), QStringLiteral("abc-1234"));
  StripedGrid grid;
  grid.GridColumns()[0].DisplayMask = QStringLiteral("#,##0");
  grid.setCells(0, 1, QStringLiteral("1234567"));
  EXPECT_EQ(grid.displayText(0, 1), QStringLiteral("1,234,567"));
  EXPECT_EQ(grid.displayText(1, 1), QString());
}

TEST(StripedGrid, ColumnsBeyondTheCollectionAreLeftToTheScreen) {
  StripedGrid grid;
  grid.resize(400, 200);
  grid.setRowCount(2);
  grid.setCells(0, 1, QStringLiteral("x"));
  std::vector<std::pair<int, int>> drawn;
  grid.OnDrawCell = [&](QPainter*, int col, int row, const QRect&, bool) { drawn.emplace_back(col, row); };
  grid.GridColumns().Synchronize = false;
  grid.show();
  QImage image(grid.size(), QImage::Format_ARGB32);
  grid.render(&image);
  EXPECT_FALSE(drawn.empty());  // the screen's own drawing is raised for every cell
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
  grid.GridColumns()[0].DataType = InputKind::dtInteger;
  GridCellEditor editor(&grid, &grid);
  editor.openOn(0, 1);
  editor.loadText(QString());
  type(&editor, QStringLiteral("-"));
  EXPECT_EQ(grid.Cells(0, 1), QStringLiteral("-0"));
  editor.loadText(QString());
  type(&editor, QStringLiteral("007"));
  EXPECT_EQ(grid.Cells(0, 1), QStringLiteral("7"));
  editor.loadText(QString());
  editor.insertPlainText(QStringLiteral("+5"));  // pasted: "+5" is one change
  EXPECT_EQ(grid.Cells(0, 1), QStringLiteral("5"));
  type(&editor, QStringLiteral("x"));  // refused as a key
  EXPECT_EQ(editor.toPlainText(), QStringLiteral("+5"));
  editor.loadText(QString());
  editor.insertPlainText(QStringLiteral("1.5"));  // no integer: back to the cell's text
  EXPECT_EQ(grid.Cells(0, 1), QStringLiteral("5"));
  EXPECT_EQ(editor.toPlainText(), QStringLiteral("5"));
}

TEST(GridCellEditor, MultiLineEnterInsertsALineBreak) {
  StripedGrid grid;
  grid.setEditing(true);
  grid.GridColumns()[1].MultiLine = true;
  GridCellEditor editor(&grid, &grid);
  editor.openOn(1, 1);
  editor.loadText(QStringLiteral("a"));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
  QApplication::sendEvent(&editor, &enter);
  type(&editor, QStringLiteral("b"));
  EXPECT_EQ(grid.Cells(1, 1), QStringLiteral("a\nb"));
}

}  // namespace
