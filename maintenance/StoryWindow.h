#pragma once
#include <optional>
#include <string>

#include "core/WindowBase.h"
#include "core/Tables.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class NavigatingEdit;

// Story maintenance: writes, browses, searches and deletes the numbered story mails.
// Number-entry mode takes a number; edit mode (entered by looking a number up) takes
// the subject and body.
class StoryWindow : public WindowBase {
  Q_OBJECT
 public:
  explicit StoryWindow(AppContext& ctx, QWidget* parent = nullptr);

  void activate() override;

  void AllCnt_Get();
  void Story_Clr();
  void Data_Enable_Story(bool Edit);
  bool Story_Chk_Part(int Mode);
  void Kensaku();
  void B_To_E(const StoryRow& row);
  bool Story_Write();

  void EstoryNoEnter();  // Enter in the number field
  void EstoryEnter();    // Enter in the body
  void BOkClick();
  void BNextClick();
  void BbfrClick();
  void BKanrisya_AddClick();
  void BClrClick();
  void BdelClick();
  void BSerClick();
  void BcanClick();

  NavigatingEdit* EstoryNo;
  NavigatingEdit* ESubject;
  QPlainTextEdit* Estory;
  QLabel* LStory_Cnt;
  QLabel* LMsg;
  QPushButton* BOk;
  QPushButton* BNext;
  QPushButton* Bbfr;
  QPushButton* BKanrisya_Add;
  QPushButton* BClr;
  QPushButton* Bdel;
  QPushButton* BSer;
  QPushButton* Bcan;

  // The body as stored: the memo's lines joined by CR LF.
  std::string storyText() const;

 protected:
  bool handleKey(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::string numberText() const;
  void setNumberText(const std::string& text);
  void focusNumber();
  // A mail shown by next or previous, or the empty screen past either end.
  void showBrowsed(const std::optional<StoryRow>& row);
  bool m_writing = false;
};
