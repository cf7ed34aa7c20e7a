#pragma once
#include <string>

#include "core/WindowBase.h"
#include "core/Reader.h"

class QLabel;
class NavigatingEdit;
struct FieldCheck;

// What checkField checks: one field in screen order, or all of them in that order.
enum class ReaderCheck {
  Id,
  Status,
  NextStory,
  Name,
  Address,
  FirstSentDate,
  FirstSentTime,
  LastSentDate,
  LastSentTime,
  RegisteredDate,
  RegisteredTime,
  Remark1,
  Remark2,
  Remark3,
  All
};

// Reader master maintenance: looks a reader up by ID, registers or corrects one,
// deletes one, walks the readers in ID order and finds them through the search dialog.
// Key-entry mode takes an ID; edit mode (entered by looking an ID up) the 13 columns.
class ReaderWindow : public WindowBase {
  Q_OBJECT
 public:
  explicit ReaderWindow(AppContext& ctx, QWidget* parent = nullptr);

  void activate() override;

  // Normalises the field's text or shows its refusal and focuses it. Texts are judged
  // by their CP932 bytes against the widths of their columns.
  bool checkField(ReaderCheck which);
  // Loads the typed ID (or empty fields for a new reader) and enters edit mode.
  void lookUp();
  void showReader(const Reader& r);
  // Empties the data fields, the labels and the message line.
  void clearFields();
  // Edit mode enables the data fields; key-entry mode the ID and browsing.
  void setEditMode(bool editing);
  void disableAllButtons();
  // Inserts or updates; a new reader's consent (typed by hand, now) is stored with it.
  // A failure is reported in the message line and the error box.
  void saveReader();
  // "可" or "不可" beside the status.
  void showStatusCaption();
  // Whether the operator typed into the fields since they were loaded.
  bool hasUnsavedEdits() const;

  // Enter in a field: its own check (and for the ID the lookup).
  void fieldEntered(NavigatingEdit* field);
  // The function-bar buttons.
  void save();
  void showNext();
  void showPrevious();
  void clearScreen();
  void deleteReader();
  void searchReader();
  // The stored reader's send history in a dialog of its own.
  void showHistory();
  void closeWindow();

  NavigatingEdit* idEdit;
  NavigatingEdit* statusEdit;
  NavigatingEdit* nextStoryEdit;
  NavigatingEdit* nameEdit;
  NavigatingEdit* addressEdit;
  NavigatingEdit* firstSentDateEdit;
  NavigatingEdit* firstSentTimeEdit;
  NavigatingEdit* lastSentDateEdit;
  NavigatingEdit* lastSentTimeEdit;
  NavigatingEdit* registeredDateEdit;
  NavigatingEdit* registeredTimeEdit;
  NavigatingEdit* remark1Edit;
  NavigatingEdit* remark2Edit;
  NavigatingEdit* remark3Edit;
  QLabel* modeLabel;
  QLabel* statusCaption;
  // How and when the shown reader consented (read-only): "同意: 手入力 2026/12/09 08:00:00".
  QLabel* consentLabel;
  QLabel* messageLine;
  QPushButton* saveButton;
  QPushButton* nextButton;
  QPushButton* previousButton;
  QPushButton* historyButton;
  QPushButton* clearButton;
  QPushButton* deleteButton;
  QPushButton* searchButton;
  QPushButton* closeButton;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  std::string text(const NavigatingEdit* field) const;
  // Enter on an empty ID: the next free one.
  void proposeNextId();
  // Send status 1, next story 1, registered now.
  void showNewReaderDefaults();
  void setText(NavigatingEdit* field, const std::string& value);
  // The moment a date field and a time field hold, typed or as shown.
  DateStamp typedStamp(const NavigatingEdit* date, const NavigatingEdit* time) const;
  // Puts a checked field's text back, or shows the refusal and empties the field.
  bool take(NavigatingEdit* field, const FieldCheck& check, bool focusOnlyIfEnabled);
  bool checkAddress();
  bool checkRemark(NavigatingEdit* field, const QString& label);
  void focusId();
  // clearFields that keeps a write failure readable in the message line.
  void clearKeepingMessage();
  void browse(bool forward);
  std::array<NavigatingEdit*, 13> dataFields() const;
  bool m_edited = false;
};
