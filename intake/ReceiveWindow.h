#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "core/WindowBase.h"
#include "intake/IntakeListener.h"
#include "settings/SettingsFiles.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;
class NavigatingEdit;
class ReceiveRun;
class RunThread;

// "クオル　読者情報受信": checks the FTP settings, then runs a receive (ReceiveRun) on a
// worker thread and shows what it reports. Closing the window during a run asks and
// requests a stop. Opened for the receive-then-send chain it starts by itself and
// closes one second after the run.
class ReceiveWindow : public WindowBase {
  Q_OBJECT
 public:
  explicit ReceiveWindow(AppContext& ctx, QWidget* parent = nullptr);
  ~ReceiveWindow() override;

  // receiveOnly: the operator starts the run; beforeSend: the first half of
  // receive-then-send starts at once and closes itself after the run.
  enum class Mode { receiveOnly, beforeSend };
  void prepare(Mode mode) {
    m_mode = mode;
    WindowBase::prepare();
  }
  int openModal(Mode mode) {
    prepare(mode);
    return exec();
  }
  void activate() override;
  bool running() const;
  // How many readers the last run registered.
  int registeredCount() const { return m_report.registered; }

  RunThread& runThread() { return *m_runThread; }
  ReceiveRun& engine() { return *m_engine; }

  // Handed to the engine at each start: the server's port (tests point it elsewhere)
  // and the pause before changing to the host folder.
  int ftpPort = 21;
  int changeDirWaitMs = 1000;

  QLabel* messageLine;
  QLabel* statusLine;
  NavigatingEdit* countBox;
  QLabel* transferCountLabel;
  QProgressBar* transferProgress;
  QLabel* successLabel;
  QLabel* failureLabel;
  // After a receive that applied unsubscribe requests: "配信停止 N 名" and those readers.
  QLabel* stoppedLine;
  QListWidget* stoppedList;
  QPushButton* startButton;
  QPushButton* endButton;
  QTimer* chainTimer;

 public slots:
  // The start button: loads and checks the settings, asks for the password when it
  // is not saved, and starts the run.
  void startRun();
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  Mode m_mode = Mode::receiveOnly;
  class Listener;

  void clearDisplay();
  void runFinished(const QString& error);
  // The close question while a run goes on; true when the window may close.
  bool closeAllowed();
  void showMessageLine(const std::string& text);
  void startTransferDisplay(std::int64_t size);
  void showTransfer(std::int64_t count, std::int64_t size);

  FtpSettings m_settings;
  RunThread* m_runThread;
  std::unique_ptr<Listener> m_listener;
  std::unique_ptr<ReceiveRun> m_engine;
  // What the receive session asks the operator (the window's ReceivePolicy).
  class Policy;
  std::unique_ptr<Policy> m_policy;
  IntakeReport m_report;
  int m_progressShift = 0;  // sizes past the bar's int range are shown scaled down
};
