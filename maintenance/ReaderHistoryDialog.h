#pragma once
#include <QDialog>
#include <vector>

#include "core/SendHistory.h"

class QLabel;
class QTableWidget;

// A reader's send history, oldest first, one read-only row an attempt: date and time,
// story, outcome, reply code and the server's reply (or the reason of a skip).
class ReaderHistoryDialog : public QDialog {
  Q_OBJECT
 public:
  ReaderHistoryDialog(int readerId, const std::vector<HistoryEntry>& entries, QWidget* parent = nullptr);

  QTableWidget* table;
  // "履歴はありません。" when the reader has no entry, else empty.
  QLabel* note;
};
