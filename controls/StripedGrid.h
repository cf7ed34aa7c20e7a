#pragma once
#include <QColor>
#include <QFont>
#include <QString>
#include <QTableView>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
class StringGridModel;
class StripedGrid;

enum class GridLineStyle { plain, striped };
enum class InputKind { Text, Integer };
enum class ImeMode { disable, close, open, dontCare };

// Description of one grid column: how its title and cells are drawn and edited.
class GridColumn {
 public:
  explicit GridColumn(StripedGrid* grid);

  Qt::Alignment alignment() const { return m_alignment; }
  void setAlignment(Qt::Alignment a);
  bool canEdit = true;
  QString caption() const { return m_caption; }
  void setCaption(const QString& caption);  // an empty caption is kept as one blank
  QColor color() const { return m_color; }
  void setColor(const QColor& c);
  InputKind dataType = InputKind::Text;
  QString displayMask;
  QFont font() const { return m_font; }
  void setFont(const QFont& f);
  QFont fixedCellFont() const { return m_fixedCellFont; }
  void setFixedCellFont(const QFont& f);
  ImeMode imeMode = ImeMode::disable;
  bool wordWrap() const { return m_wordWrap; }
  void setWordWrap(bool w);
  bool multiLine = false;
  int width = 64;

  // Copies all eleven described properties.
  void assign(const GridColumn& other);

 private:
  void changed();
  StripedGrid* m_grid;
  Qt::Alignment m_alignment = Qt::AlignLeft;
  QString m_caption;
  QColor m_color;
  QFont m_font;
  QFont m_fixedCellFont;
  bool m_wordWrap = false;
};

// The column descriptions of a grid; adding or removing keeps the grid's column count equal.
class GridColumnList {
 public:
  explicit GridColumnList(StripedGrid* grid) : m_grid(grid) {}
  int count() const { return static_cast<int>(m_items.size()); }
  GridColumn& operator[](int i) { return *m_items[static_cast<size_t>(i)]; }
  const GridColumn& operator[](int i) const { return *m_items[static_cast<size_t>(i)]; }
  GridColumn& add();
  void remove(int index);
  void clear();
  StripedGrid* grid() const { return m_grid; }
  bool synchronize = true;

 private:
  friend class StripedGrid;
  void appendSilently();
  void removeLastSilently();
  StripedGrid* m_grid;
  std::vector<std::unique_ptr<GridColumn>> m_items;
};

// Text grid with one title row (row 0) and striped data rows. currentRow numbers follow the
// grid: data rows are 1 .. rowCount()-1. cell are kept in a model of strings, so large
// lists stay fast.
class StripedGrid : public QTableView {
  Q_OBJECT
 public:
  explicit StripedGrid(QWidget* parent = nullptr);
  ~StripedGrid() override;

  GridColumnList& columns() { return m_columns; }
  GridLineStyle lineStyle() const { return m_style; }
  void setLineStyle(GridLineStyle s);
  QColor stripeColor() const { return m_stripe; }
  void setStripeColor(const QColor& c);
  QColor gridColor() const { return m_color; }

  int columnCount() const;
  void setColumnCount(int n);
  int rowCount() const;
  void setRowCount(int n);
  int defaultRowHeight() const;
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

  // Whether cells may be edited (F2, Enter or typing opens the editor).
  bool editing() const { return m_editing; }
  void setEditing(bool on);
  bool defaultDrawing = true;

  // Raised after the grid drew a cell, so a screen can paint over it.
  std::function<void(QPainter*, int col, int row, const QRect& rect, bool selected)> onDrawCell;

  // Colour of a data cell as the grid fills it.
  QColor cellColor(int col, int row) const;
  // The text a data cell shows after its column's display mask.
  QString displayText(int col, int row) const;

  void repaintGrid();

 private:
  friend class GridColumnList;
  friend class GridColumn;
  friend class GridDelegate;
  friend class GridHeader;
  void columnsChanged();
  StringGridModel* m_model;
  GridColumnList m_columns;
  GridLineStyle m_style = GridLineStyle::plain;
  QColor m_stripe;
  QColor m_color;
  bool m_syncing = false;
  bool m_editing = false;
};

// Formats a cell text with a display mask: numbers through a number format ("#,##0.00"),
// other text through an edit mask ("000-0000").
QString formatWithMask(const QString& text, const QString& mask);
