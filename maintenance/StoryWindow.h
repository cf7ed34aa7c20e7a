#pragma once
#include <optional>
#include <string>

#include "core/WindowBase.h"
#include "core/Story.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class NavigatingEdit;

// What checkFields checks: one field, or all of them in screen order.
enum class StoryCheck { Number, Subject, Interval, Body, All };

// Story maintenance: writes, browses, searches and deletes the numbered story mails.
// Number-entry mode takes a number; edit mode (entered by looking a number up) takes
// the subject, the interval in days after the reader's previous mail, and the body.
class StoryWindow : public WindowBase {
  Q_OBJECT
 public:
  explicit StoryWindow(AppContext& ctx, QWidget* parent = nullptr);

  void activate() override;

  // "登録数 n" from the table.
  void showStoryCount();
  // Subject and body emptied.
  void clearMail();
  // Edit mode enables subject and body; number-entry mode the number and browsing.
  void setEditMode(bool editing);
  // Shows the first refusal's message and focuses its field.
  bool checkFields(StoryCheck which);
  // Loads the typed number (or an empty screen for a new one) and enters edit mode.
  void lookUp();
  void showMail(const Story& row);
  // Inserts or updates; a failure is reported in the message line and the error box.
  bool saveMail();
  // Lists the characters of subject and body that ISO-2022-JP cannot carry and asks:
  // Yes replaces them with their usual substitutes, No keeps them as typed (the send
  // run checks again), Cancel returns to editing with the first one selected. False
  // for Cancel; true at once when every character can be carried.
  bool confirmCarriable();

  void numberEntered();  // Enter in the number field
  void bodyEntered();    // Enter in the body
  // The function-bar buttons.
  void save();
  void showNext();
  void showPrevious();
  void insertReaderName();
  void clearScreen();
  void deleteMail();
  void searchMail();
  void cancel();

  NavigatingEdit* numberEdit;
  NavigatingEdit* subjectEdit;
  NavigatingEdit* intervalEdit;
  QPlainTextEdit* bodyEdit;
  QLabel* countLabel;
  QLabel* messageLine;
  QPushButton* saveButton;
  QPushButton* nextButton;
  QPushButton* previousButton;
  QPushButton* readerNameButton;
  QPushButton* clearButton;
  QPushButton* deleteButton;
  QPushButton* searchButton;
  QPushButton* cancelButton;

  // The body as stored: the memo's lines joined by CR LF.
  std::string storyText() const;
  // The checked interval field as a number (empty: 0).
  int intervalDays() const;
  // Whether the operator changed the subject, interval or body since the mail was loaded.
  bool hasUnsavedEdits() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool handleKey(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::string numberText() const;
  void setNumberText(const std::string& text);
  void focusNumber();
  // A mail shown by next or previous, or the empty screen past either end.
  void showBrowsed(const std::optional<Story>& row);
  bool m_writing = false;
  bool m_lineEdited = false;
};
