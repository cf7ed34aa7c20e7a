#pragma once
#include <memory>

#include "core/WindowBase.h"
#include "intake/IntakeListener.h"

class QLabel;
class QPushButton;
class CsvImport;
class NavigatingEdit;
class RunThread;

// "クオル　ＣＳＶファイルから読者情報を登録": asks for the CSV file, runs the import
// (CsvImport) on a worker thread showing its count, then offers the refused lines for
// saving. The window has no title-bar buttons; it is left only through the end button,
// which during a run asks whether to stop.
class CsvImportWindow : public WindowBase {
  Q_OBJECT
 public:
  explicit CsvImportWindow(AppContext& ctx, QWidget* parent = nullptr);
  ~CsvImportWindow() override;

  void activate() override;
  bool running() const;
  RunThread& runThread() { return *m_runThread; }

  QPushButton* startButton;
  QPushButton* endButton;
  QLabel* countCaption;
  NavigatingEdit* countBox;
  QLabel* successLabel;
  QLabel* failureLabel;

 public slots:
  void startImport();
  void endClicked();
  // Escape and the like: ignored, only the end button leaves the window.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  class Listener;

  void importFinished(const QString& error);
  // The window's state after a run or a start that was called off.
  void becomeReady();
  void offerRejected();

  bool m_closeAfterRun = false;
  RunThread* m_runThread;
  std::unique_ptr<Listener> m_listener;
  std::unique_ptr<CsvImport> m_engine;
  IntakeReport m_report;
};
