#pragma once
#include <QColor>
#include <QString>
#include <QTableView>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
class StringGridModel;
class StripedGrid;

enum class GridLineStyle { plain, striped };
enum class ImeMode { disable, close, open, dontCare };

// Description of one grid column: its title and how its cells are drawn.
class GridColumn {
 public:
  explicit GridColumn(StripedGrid* grid) : m_grid(grid) {}

  Qt::Alignment alignment() const { return m_alignment; }
  void setAlignment(Qt::Alignment a);
  QString caption() const { return m_caption; }
  void setCaption(const QString& caption);  // an empty caption is kept as one blank
  int width = 64;
  // Editing hints the windows give; the grid shows its cells read-only.
  bool canEdit = true;
  ImeMode imeMode = ImeMode::disable;

 private:
  StripedGrid* m_grid;
  Qt::Alignment m_alignment = Qt::AlignLeft;
  QString m_caption;
};

// The column descriptions of a grid; adding or clearing changes the grid's columns.
class GridColumnList {
 public:
  explicit GridColumnList(StripedGrid* grid) : m_grid(grid) {}
  int count() const { return static_cast<int>(m_items.size()); }
  GridColumn& operator[](int i) { return *m_items[static_cast<size_t>(i)]; }
  const GridColumn& operator[](int i) const { return *m_items[static_cast<size_t>(i)]; }
  GridColumn& add();
  void clear();

 private:
  StripedGrid* m_grid;
  std::vector<std::unique_ptr<GridColumn>> m_items;
};

// Text grid with one title row (row 0) and striped data rows. currentRow numbers follow the
// grid: data rows are 1 .. rowCount()-1. cell are kept in a model of strings, so large
// lists stay fast. The grid starts without columns.
class StripedGrid : public QTableView {
  Q_OBJECT
 public:
  explicit StripedGrid(QWidget* parent = nullptr);
  ~StripedGrid() override;

  GridColumnList& columns() { return m_columns; }
  void setLineStyle(GridLineStyle s);
  void setStripeColor(const QColor& c);
  QColor gridColor() const { return m_color; }

  int rowCount() const;
  void setRowCount(int n);
  void setDefaultRowHeight(int h);
  void setColWidth(int col, int width);

  QString cell(int col, int row) const;
  void setCell(int col, int row, const QString& text);
  // Replaces a whole data row at once (row >= 1).
  void setRow(int row, std::vector<QString> cells);
  // Where the cells of rows that were never set come from, asked only for the cells on
  // screen: a long list is shown without a copy of every cell. nullptr: empty cells.
  void setCellSource(std::function<QString(int col, int row)> source);
  // Bulk filling: between the two calls cell changes are not signalled one by one.
  void beginUpdate();
  void endUpdate();

  // The selected data row (grid numbering), or -1.
  int currentRow() const;
  void setRow(int row);

  bool defaultDrawing = true;

  // Raised after the grid drew a cell, so a screen can paint over it.
  std::function<void(QPainter*, int col, int row, const QRect& rect, bool selected)> onDrawCell;

  // Colour of a data cell as the grid fills it.
  QColor cellColor(int col, int row) const;

 private:
  friend class GridColumnList;
  friend class GridColumn;
  void columnsChanged();
  void repaintGrid();
  StringGridModel* m_model;
  GridColumnList m_columns;
  GridLineStyle m_style = GridLineStyle::plain;
  QColor m_stripe;
  QColor m_color;
};
