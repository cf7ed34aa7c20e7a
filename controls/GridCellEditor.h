#pragma once
#include <QPlainTextEdit>

class StripedGrid;

// The cell editor of StripedGrid: takes its column's font, input rules, line and wrap
// settings, and stores its text into the cell as it changes.
class GridCellEditor : public QPlainTextEdit {
  Q_OBJECT
 public:
  GridCellEditor(StripedGrid* grid, QWidget* parent);

  bool multiLine() const { return m_multiLine; }
  bool wordWrap() const { return m_wordWrap; }
  void setWordWrap(bool wrap);

  void openOn(int col, int row);
  void loadText(const QString& text);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void storeText();
  bool integerColumn() const;
  StripedGrid* m_grid;
  int m_col = 0;
  int m_row = 0;
  bool m_multiLine = false;
  bool m_wordWrap = false;
  bool m_loading = false;
};
