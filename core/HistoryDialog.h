#pragma once
#include <QDialog>
#include <vector>

#include "core/SendHistory.h"

class QLabel;
class QTableWidget;

// Entries of the send history, one read-only row an attempt: date and time, the reader
// (when asked for), story, outcome, reply code and the server's reply (or the reason of
// a skip). Used for one reader's history and for the last run of the send window.
class HistoryDialog : public QDialog {
  Q_OBJECT
 public:
  HistoryDialog(const QString& title, const std::vector<HistoryEntry>& entries, bool withReader,
                QWidget* parent = nullptr);

  QTableWidget* table;
  // "履歴はありません。" when there is no entry, else empty.
  QLabel* note;
};
