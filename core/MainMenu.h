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
  void FormCreate();

  QPushButton* BRcv_Only;
  QPushButton* BSnd_Only;
  QPushButton* BRcv_To_Snd;
  QPushButton* BEnv_Mnt;
  QPushButton* BStory;
  QPushButton* BUser_Mnt;
  QPushButton* SpeedButton1;
  QPushButton* SpeedButton2;
  QPushButton* Bend;
  QLabel* webInfo;

 public slots:
  void BRcv_OnlyClick();
  void BSnd_OnlyClick();
  void BRcv_To_SndClick();
  void BEnv_MntClick();
  void BStoryClick();
  void BUser_MntClick();
  void SpeedButton1Click();
  void SpeedButton2Click();
  void BendClick();

 private:
  void showAgain();
  AppContext& m_ctx;
};
