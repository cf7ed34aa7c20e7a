#pragma once
#include <QStringList>
#include <QWidget>
#include <functional>
#include <string>

class AppContext;
class QPushButton;
class QLabel;

// The main menu: the hub that hides itself while one working window is open.
class MainMenu : public QWidget {
  Q_OBJECT
 public:
  explicit MainMenu(AppContext& ctx, QWidget* parent = nullptr);

  // Opens the database beside the program; a failure is shown once in the error box,
  // in Japanese with what to do, and start-up goes on. creationFailure is the reason a
  // creation at start failed, shown in place of the client's text.
  void openDatabase(const std::string& creationFailure = std::string());

  QPushButton* receiveButton;
  QPushButton* sendButton;
  QPushButton* receiveThenSendButton;
  QPushButton* settingsButton;
  QPushButton* storyButton;
  QPushButton* readersButton;
  QPushButton* registrationFormButton;
  QPushButton* csvImportButton;
  QPushButton* endButton;
  QLabel* statusLine;
  QLabel* informationPanel;

  // The pages of the settings window that still lack a value the runs need; the
  // program sets it (the settings files are read by the settings subsystem).
  std::function<QStringList()> incompleteSettingsPages;
  // The readers due a mail now, counted by the send run's rules (intervals included);
  // without it the line shows none.
  std::function<int()> dueReaderCount;
  // What a menu button opens; the program opens the window in its mode and returns
  // when the window is closed (the menu knows no window of the subsystems).
  enum class Task { receive, send, receiveThenSend, settings, stories, readers, registrationForm, csvImport };
  std::function<void(Task)> openTask;
  // Reads the settings and the database again and shows what the operator has set up
  // and the next step, naming the button that takes it.
  void refreshStatus();

 public slots:
  void openReceive();
  void openSend();
  void openReceiveThenSend();
  void openSettings();
  void openStories();
  void openReaders();
  void openRegistrationForm();
  void openCsvImport();
  void closeMenu();

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void showAgain();
  // Hides the menu while the task's window is open.
  void run(Task task);
  AppContext& m_ctx;
  bool m_placed = false;
};
