#include "controls/GridCellEditor.h"

#include <QKeyEvent>
#include <QTextBlock>

#include "controls/StripedGrid.h"

GridCellEditor::GridCellEditor(StripedGrid* grid, QWidget* parent) : QPlainTextEdit(parent), m_grid(grid) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  connect(this, &QPlainTextEdit::textChanged, this, &GridCellEditor::storeText);
}

void GridCellEditor::setWordWrap(bool wrap) {
  m_wordWrap = wrap;
  // Without wrapping the editor scrolls sideways instead.
  setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
}

void GridCellEditor::openOn(int col, int row) {
  m_col = col;
  m_row = row;
  GridColumnList& cols = m_grid->columns();
  if (col < cols.count()) {
    const GridColumn& c = cols[col];
    setFont(c.font());
    m_multiLine = c.multiLine;
    setWordWrap(c.wordWrap());
    setAttribute(Qt::WA_InputMethodEnabled, c.imeMode == ImeMode::open || c.imeMode == ImeMode::dontCare);
  } else {
    setFont(m_grid->font());
    m_multiLine = false;
    setWordWrap(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);
  }
  QPalette p = palette();
  p.setColor(QPalette::Base, m_grid->cellColor(col, row));
  setPalette(p);
}

void GridCellEditor::loadText(const QString& text) {
  m_loading = true;
  setPlainText(text);
  m_loading = false;
  QTextCursor c = textCursor();
  c.movePosition(QTextCursor::End);
  setTextCursor(c);  // caret at the end, nothing selected
}

bool GridCellEditor::integerColumn() const {
  GridColumnList& cols = m_grid->columns();
  return m_col < cols.count() && cols[m_col].dataType == InputKind::Integer;
}

void GridCellEditor::keyPressEvent(QKeyEvent* e) {
  const int key = e->key();
  const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
  const bool ctrl = e->modifiers() & Qt::ControlModifier;
  if (enter) {
    if (m_multiLine && !ctrl) {
      insertPlainText(QStringLiteral("\n"));
      return;
    }
    e->ignore();  // ends editing: the grid commits and closes the editor
    QWidget::keyPressEvent(e);
    return;
  }
  const bool arrow = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
  if (arrow && (!m_multiLine || ctrl)) {
    e->ignore();  // the grid moves to the neighbouring cell
    QWidget::keyPressEvent(e);
    return;
  }
  if (integerColumn() && !e->text().isEmpty()) {
    const QChar ch = e->text().at(0);
    const bool allowed = ch.unicode() < 0x20 || ch == QLatin1Char(' ') || ch == QLatin1Char('+') ||
                         ch == QLatin1Char('-') || ch == QLatin1Char('.') || ch.isDigit();
    if (!allowed) return;
  }
  QPlainTextEdit::keyPressEvent(e);
}

void GridCellEditor::storeText() {
  if (m_loading) return;
  const QString text = toPlainText();
  if (!integerColumn()) {
    m_grid->setCell(m_col, m_row, text);
    return;
  }
  if (text == QLatin1String("-")) {
    m_grid->setCell(m_col, m_row, QStringLiteral("-0"));
    return;
  }
  if (text.isEmpty()) {
    m_grid->setCell(m_col, m_row, QString());
    return;
  }
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  if (ok) {
    m_grid->setCell(m_col, m_row, QString::number(value));
    return;
  }
  // Not an integer: the editor goes back to the cell's text, caret one to the left.
  const int caret = textCursor().position();
  m_loading = true;
  setPlainText(m_grid->cell(m_col, m_row));
  m_loading = false;
  QTextCursor c = textCursor();
  c.setPosition(std::max(0, std::min(caret - 1, static_cast<int>(toPlainText().size()))));
  setTextCursor(c);
}
