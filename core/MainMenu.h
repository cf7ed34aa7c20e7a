#pragma once
#include <QWidget>
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
  QLabel* informationPanel;

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

 private:
  void showAgain();
  AppContext& m_ctx;
};
