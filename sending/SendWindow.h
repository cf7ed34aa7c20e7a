#pragma once
#include <QString>
#include <memory>
#include <vector>

#include "core/RunThread.h"
#include "core/WindowBase.h"
#include "sending/SendRun.h"

class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;
class QRect;
class QTimer;
class StripedGrid;

// The send window, a view over SendRun: shows the readers due a story mail, passes
// the operator's marks and clicks to the run, and runs it on a worker thread while it
// shows the run's progress. "中 断" and the close box ask the run to stop.
class SendWindow : public WindowBase {
  Q_OBJECT
 public:
  explicit SendWindow(AppContext& ctx, QWidget* parent = nullptr);
  ~SendWindow() override;

  void activate() override;

  // A key typed in the list on a grid row (1 and up): "1" marks and moves on, "0"
  // unmarks and moves on, any other key unmarks.
  void markKey(int row, QChar key);

  bool running() const { return m_runThread.running(); }
  // Keeps events flowing until the run on the worker thread has ended.
  void waitForRun() { m_runThread.waitProcessingEvents(); }

  StripedGrid* readerGrid() const { return m_readerGrid; }
  QLineEdit* lastStoryEdit() const { return m_lastStoryEdit; }
  QLineEdit* listedCountEdit() const { return m_listedCountEdit; }
  QLabel* progressLabel() const { return m_progressLabel; }
  QLabel* countdownLabel() const { return m_countdownLabel; }
  QLabel* successLabel() const { return m_successLabel; }
  QLabel* errorLabel() const { return m_errorLabel; }
  QPushButton* startButton() const { return m_startButton; }
  QPushButton* markAllButton() const { return m_markAllButton; }
  QPushButton* unmarkAllButton() const { return m_unmarkAllButton; }
  QPushButton* endButton() const { return m_endButton; }

 protected:
  bool handleKey(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  class Reporter;

  void start();
  void markAll();
  void unmarkAll();
  void endClicked();
  void openMailSettings();
  void beginRun();
  void runFinished(const QString& error);

  void fillGrid();
  void showReader(std::size_t index, const DueReader& reader);
  void showIdle();
  // Column 0 again after marking all or none.
  void showMarks();
  void drawCell(QPainter* p, int col, int row, const QRect& rect, bool selected);

  SendRun m_run;
  std::unique_ptr<Reporter> m_reporter;
  RunThread m_runThread;
  SendReport m_report;
  bool m_closeAfterRun = false;
  // Marks as shown, for the colours of the mark column.
  std::vector<SendMark> m_shownMarks;

  StripedGrid* m_readerGrid;
  QLineEdit* m_lastStoryEdit;
  QLineEdit* m_listedCountEdit;
  QLabel* m_progressLabel;
  QLabel* m_statusLabel;
  QLabel* m_statusDetailLabel;
  QLabel* m_workingLabel;
  QLabel* m_workingNoteLabel;
  QLabel* m_countdownLabel;
  QLabel* m_successLabel;
  QLabel* m_errorLabel;
  QPushButton* m_startButton;
  QPushButton* m_markAllButton;
  QPushButton* m_unmarkAllButton;
  QPushButton* m_endButton;
  QTimer* m_closeTimer;
};
