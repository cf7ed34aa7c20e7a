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

enum class GridLineStyle { gsNormal, gsStriped };
enum class InputKind { dtString, dtInteger };
enum class ImeMode { disable, close, open, dontCare };

// Description of one grid column: how its title and cells are drawn and edited.
class GridColumn {
 public:
  explicit GridColumn(StripedGrid* grid);

  Qt::Alignment Alignment() const { return m_alignment; }
  void setAlignment(Qt::Alignment a);
  bool CanEdit = true;
  QString Caption() const { return m_caption; }
  void setCaption(const QString& caption);  // an empty caption is kept as one blank
  QColor Color() const { return m_color; }
  void setColor(const QColor& c);
  InputKind DataType = InputKind::dtString;
  QString DisplayMask;
  QFont Font() const { return m_font; }
  void setFont(const QFont& f);
  QFont FixCellFont() const { return m_fixFont; }
  void setFixCellFont(const QFont& f);
  ImeMode imeMode = ImeMode::disable;
  bool Wordwrap() const { return m_wordwrap; }
  void setWordwrap(bool w);
  bool MultiLine = false;
  int Width = 64;

  // Copies all eleven described properties.
  void Assign(const GridColumn& other);

 private:
  void changed();
  StripedGrid* m_grid;
  Qt::Alignment m_alignment = Qt::AlignLeft;
  QString m_caption;
  QColor m_color;
  QFont m_font;
  QFont m_fixFont;
  bool m_wordwrap = false;
};

// The column descriptions of a grid; adding or removing keeps the grid's column count equal.
class GridColumnList {
 public:
  explicit GridColumnList(StripedGrid* grid) : m_grid(grid) {}
  int Count() const { return static_cast<int>(m_items.size()); }
  GridColumn& operator[](int i) { return *m_items[static_cast<size_t>(i)]; }
  const GridColumn& operator[](int i) const { return *m_items[static_cast<size_t>(i)]; }
  GridColumn& Add();
  void Delete(int index);
  void Clear();
  StripedGrid* Grid() const { return m_grid; }
  bool Synchronize = true;

 private:
  friend class StripedGrid;
  void appendSilently();
  void removeLastSilently();
  StripedGrid* m_grid;
  std::vector<std::unique_ptr<GridColumn>> m_items;
};

// Text grid with one title row (row 0) and striped data rows. Row numbers follow the
// grid: data rows are 1 .. RowCount()-1. Cells are kept in a model of strings, so large
// lists stay fast.
class StripedGrid : public QTableView {
  Q_OBJECT
 public:
  explicit StripedGrid(QWidget* parent = nullptr);
  ~StripedGrid() override;

  GridColumnList& GridColumns() { return m_columns; }
  GridLineStyle GridStyle() const { return m_style; }
  void setGridStyle(GridLineStyle s);
  QColor StripeColor() const { return m_stripe; }
  void setStripeColor(const QColor& c);
  QColor GridColor() const { return m_color; }

  int ColCount() const;
  void setColCount(int n);
  int RowCount() const;
  void setRowCount(int n);
  int DefaultRowHeight() const;
  void setDefaultRowHeight(int h);
  void setColWidth(int col, int width);

  QString Cells(int col, int row) const;
  void setCells(int col, int row, const QString& text);
  // Replaces a whole data row at once (row >= 1).
  void setRow(int row, std::vector<QString> cells);
  // Bulk filling: between the two calls cell changes are not signalled one by one.
  void BeginUpdate();
  void EndUpdate();

  // The selected data row (grid numbering), or -1.
  int Row() const;
  void setRow(int row);

  // Whether cells may be edited (F2, Enter or typing opens the editor).
  bool Editing() const { return m_editing; }
  void setEditing(bool on);
  bool DefaultDrawing = true;

  // Raised after the grid drew a cell, so a screen can paint over it.
  std::function<void(QPainter*, int col, int row, const QRect& rect, bool selected)> OnDrawCell;

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
  GridLineStyle m_style = GridLineStyle::gsNormal;
  QColor m_stripe;
  QColor m_color;
  bool m_syncing = false;
  bool m_editing = false;
};

// Formats a cell text with a display mask: numbers through a number format ("#,##0.00"),
// other text through an edit mask ("000-0000").
QString FormatWithMask(const QString& text, const QString& mask);
