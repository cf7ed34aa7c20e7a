#pragma once
#include "core/WindowBase.h"
#include "intake/ImportHost.h"

class QLabel;
class QPushButton;
class NavigatingEdit;

// "クオル　ＣＳＶファイルから読者情報を登録": imports readers from a CSV file (CsvImport).
// The window has no title-bar buttons; it is left only through B12.
class CsvImportWindow : public WindowBase, private ImportHost {
  Q_OBJECT
 public:
  explicit CsvImportWindow(AppContext& ctx, QWidget* parent = nullptr);

  void activate() override;

  QPushButton* B1;
  QPushButton* B12;
  QLabel* Label1;
  NavigatingEdit* EOCnt;
  QLabel* LSuccesuu;
  QLabel* Lerror;

 public slots:
  void B1Click();
  void B12Click();
  // Escape and the like: ignored, only B12 leaves the window.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  bool running() const override { return m_running; }
  void stopRunning() override { m_running = false; }
  void readerRegistered() override;
  void processEvents() override;

  bool m_running = false;
  bool m_closeAfterRun = false;
  int m_count = 0;
};
