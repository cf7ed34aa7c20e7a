#pragma once
#include <QString>
#include <optional>

enum class MsgIcon { None, Information, Warning, Error, Question };
// YesNoDefaultNo: a question that deletes or discards, いいえ the default button.
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, YesNoDefaultNo };
enum class MsgResult { Ok, Cancel, Yes, No };

// Every message box and file dialog of the program goes through here, so tests can
// answer them and read what was shown. The installed service is used by all windows.
class Dialogs {
 public:
  virtual ~Dialogs() = default;

  static Dialogs& instance();
  // Replaces the service (tests); nullptr brings back the real boxes. Not owned.
  static void install(Dialogs* service);

  virtual MsgResult message(const QString& title, const QString& text, MsgIcon icon, MsgButtons buttons) = 0;
  // File and folder choosers answer an empty text when the operator cancels.
  virtual QString openFile(const QString& title, const QString& dir, const QString& filter) = 0;
  virtual QString saveFile(const QString& title, const QString& dir, const QString& fileName,
                           const QString& filter) = 0;
  virtual QString chooseFolder(const QString& title, const QString& dir) = 0;
  // One line typed by the operator, starting from initial; nothing when cancelled.
  virtual std::optional<QString> askText(const QString& /*title*/, const QString& /*label*/,
                                         const QString& /*initial*/) {
    return std::nullopt;
  }
};

// The application title, caption of the standard boxes.
QString appTitle();

// A plain box with OK under the application title.
void showMessage(const QString& text);
// The error box: error icon, OK, application title.
void showError(const QString& text);
// A Yes/No question; true for Yes.
bool askYesNo(const QString& text, MsgIcon icon = MsgIcon::Question, const QString& title = appTitle());
// A Yes/No question before deleting or throwing away: warning icon, いいえ the default
// button, so Enter keeps the data; true for Yes.
bool askBeforeLosing(const QString& text);
