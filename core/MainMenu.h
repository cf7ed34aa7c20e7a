#pragma once
#include <QWidget>

class AppContext;
class QPushButton;
class QLabel;

// The main menu: the hub that hides itself while one working window is open.
class MainMenu : public QWidget {
  Q_OBJECT
 public:
  explicit MainMenu(AppContext& ctx, QWidget* parent = nullptr);

  // Opens the database beside the program; a failure is shown in the error box and
  // start-up goes on.
  void openDatabase();

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
