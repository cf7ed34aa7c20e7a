#pragma once
#include <QString>
#include <memory>
#include <vector>

#include "core/RunThread.h"
#include "core/WindowBase.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "sending/SendRun.h"
#include "sending/SendSession.h"

class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;
class QRect;
class QTimer;
class StripedGrid;
class MailPreview;

// The send window, a view over SendRun: shows the readers due a story mail with the
// date each next mail falls due, passes the operator's marks and clicks to the run,
// and runs it on a worker thread while it shows the run's progress. Before a run the
// operator started it lists the characters the mails cannot carry and asks for a
// confirmation; a preview shows a reader's next mail, and a test mail sends it to
// another address. "中 断" and the close box ask the run to stop.
class SendWindow : public WindowBase {
  Q_OBJECT
 public:
  explicit SendWindow(AppContext& ctx, QWidget* parent = nullptr);
  ~SendWindow() override;

  // sendOnly: the operator marks readers and starts the run; afterReceive: the second
  // half of receive-then-send marks every due reader and starts once the operator has
  // confirmed, told how many readers the receive registered (newRegistrations).
  enum class Mode { sendOnly, afterReceive };
  void prepare(Mode mode, int newRegistrations = 0) {
    m_mode = mode;
    m_newRegistrations = newRegistrations;
    WindowBase::prepare();
  }
  int openModal(Mode mode, int newRegistrations = 0) {
    prepare(mode, newRegistrations);
    return exec();
  }
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
  QLabel* countsLabel() const { return m_countsLabel; }
  QLabel* statusLabel() const { return m_statusLabel; }
  MailPreview* preview() const { return m_preview; }
  QLabel* countdownLabel() const { return m_countdownLabel; }
  QLabel* successLabel() const { return m_successLabel; }
  QLabel* errorLabel() const { return m_errorLabel; }
  QPushButton* startButton() const { return m_startButton; }
  QPushButton* markAllButton() const { return m_markAllButton; }
  QPushButton* unmarkAllButton() const { return m_unmarkAllButton; }
  QPushButton* previewButton() const { return m_previewButton; }
  QPushButton* testMailButton() const { return m_testMailButton; }
  QPushButton* lastRunButton() const { return m_lastRunButton; }
  QPushButton* endButton() const { return m_endButton; }

 protected:
  bool handleKey(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  Mode m_mode = Mode::sendOnly;
  int m_newRegistrations = 0;
  class Reporter;

  void start();
  void markAll();
  void unmarkAll();
  void endClicked();
  void openMailSettings();
  void showPreview();
  void sendTestMail();
  // Under the provider's pace, how many readers this run may serve (status line).
  void showPace(const MailSettings& mail);
  // The outcomes of the newest run in the send history, in a dialog.
  void showLastRun();
  // What the send session asks the operator (the window's SendPolicy).
  class Policy;
  void refuseStart(const StartCheck& check);
  // Characters the mails cannot carry: replaced by their substitutes at the operator's
  // word; false when the mails must not go out.
  bool acceptSubstitutes(const CharacterCheck& check);
  bool confirmRun();
  // Passwords the run needs, saved or typed; false when it must not start.
  bool obtainPasswords();
  // The character check of a test mail to the reader at index, then its decision.
  bool settleCharacters(std::size_t index);
  void beginRun();
  void setIdleButtons(bool enabled);
  void runFinished(const QString& error);
  void showCounts();
  // "sent / marked 送信済", with what the bounce mailbox did after it.
  void showProgress(int sent, int marked);

  void fillGrid();
  void showReader(std::size_t index, const DueReader& reader);
  void showIdle();
  // Column 0 again after marking all or none.
  void showMarks();
  void drawCell(QPainter* p, int col, int row, const QRect& rect, bool selected);

  SmtpClient m_smtp;
  Pop3Client m_pop3;
  SendRun m_run;
  std::unique_ptr<Reporter> m_reporter;
  std::unique_ptr<Policy> m_policy;
  // The session of the run under way (it holds the database's send lock), else none.
  std::unique_ptr<SendSession> m_session;
  RunThread m_runThread;
  SendReport m_report;
  bool m_closeAfterRun = false;
  bool m_testMailRunning = false;
  bool m_testMailSent = false;
  QString m_testAddress;
  // Marks as shown, for the colours of the mark column.
  std::vector<SendMark> m_shownMarks;

  StripedGrid* m_readerGrid;
  QLineEdit* m_lastStoryEdit;
  QLineEdit* m_listedCountEdit;
  QLabel* m_progressLabel;
  QString m_bounceSummary;  // what this run's reading of the bounce mailbox did
  QLabel* m_countsLabel;
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
  QPushButton* m_previewButton;
  QPushButton* m_testMailButton;
  QPushButton* m_lastRunButton;
  MailPreview* m_preview = nullptr;
  QPushButton* m_endButton;
  QTimer* m_closeTimer;
};
