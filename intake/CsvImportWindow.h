#pragma once
#include <memory>

#include "core/WindowBase.h"
#include <filesystem>

#include "intake/CsvImport.h"
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
  QLabel* layoutLabel;   // the layout the import expects, with an example line
  QLabel* previewLabel;  // the chosen file's first rows as they will be stored
  QLabel* countsLabel;   // after a run: registered, refused, already registered
  QLabel* nothingLabel;  // a run that stored nothing

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
  // The layout of the chosen file (asking once when it reads "name,address") and its
  // first rows shown; false when the operator called the import off.
  bool chooseLayout(const std::filesystem::path& file);

  bool m_closeAfterRun = false;
  RunThread* m_runThread;
  std::unique_ptr<Listener> m_listener;
  std::unique_ptr<CsvImport> m_engine;
  IntakeReport m_report;
  CsvLayout m_layout;
};
