#pragma once
#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "core/Dialogs.h"

// Stands in for every message box and file dialog while installed: records what was
// shown and answers from a script (Yes / OK when nothing is queued).
class ScriptedDialogs : public Dialogs {
 public:
  struct Shown {
    QString title;
    QString text;
    MsgIcon icon;
    MsgButtons buttons;
  };

  ScriptedDialogs();
  ~ScriptedDialogs() override;

  void queueAnswer(MsgResult answer) { m_answers.push_back(answer); }
  void queueFile(const QString& path) { m_files.push_back(path); }
  // The next text question's answer; with none queued it is cancelled.
  void queueText(const QString& text) { m_texts.push_back(text); }
  // Runs while a box is "open": a test can act in the middle of a modal run.
  std::function<void(const Shown&)> onMessage;

  const std::vector<Shown>& shown() const { return m_shown; }
  std::vector<QString> texts() const;
  QString lastText() const { return m_shown.empty() ? QString() : m_shown.back().text; }
  void clear() { m_shown.clear(); }

  MsgResult message(const QString& title, const QString& text, MsgIcon icon, MsgButtons buttons) override;
  QString openFile(const QString& title, const QString& dir, const QString& filter) override;
  QString saveFile(const QString& title, const QString& dir, const QString& fileName,
                   const QString& filter) override;
  QString chooseFolder(const QString& title, const QString& dir) override;
  std::optional<QString> askText(const QString& title, const QString& label, const QString& initial) override;

  // What the file dialogs were asked with (title, dir or suggested name).
  std::vector<QString> fileRequests;
  // What the text questions were asked with (title, label, initial text).
  std::vector<QString> textRequests;

 private:
  QString nextFile();
  std::vector<Shown> m_shown;
  std::deque<MsgResult> m_answers;
  std::deque<QString> m_files;
  std::deque<QString> m_texts;
};
