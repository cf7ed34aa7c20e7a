#include "tests/support/ScriptedDialogs.h"

ScriptedDialogs::ScriptedDialogs() { Dialogs::install(this); }
ScriptedDialogs::~ScriptedDialogs() { Dialogs::install(nullptr); }

std::vector<QString> ScriptedDialogs::texts() const {
  std::vector<QString> out;
  for (const Shown& s : m_shown) out.push_back(s.text);
  return out;
}

MsgResult ScriptedDialogs::message(const QString& title, const QString& text, MsgIcon icon, MsgButtons buttons) {
  m_shown.push_back({title, text, icon, buttons});
  if (onMessage) onMessage(m_shown.back());
  if (!m_answers.empty()) {
    MsgResult r = m_answers.front();
    m_answers.pop_front();
    return r;
  }
  return buttons == MsgButtons::Ok || buttons == MsgButtons::OkCancel ? MsgResult::Ok : MsgResult::Yes;
}

QString ScriptedDialogs::nextFile() {
  if (m_files.empty()) return QString();
  QString f = m_files.front();
  m_files.pop_front();
  return f;
}

QString ScriptedDialogs::openFile(const QString& title, const QString& dir, const QString&) {
  fileRequests.push_back(title + "|" + dir);
  return nextFile();
}

QString ScriptedDialogs::saveFile(const QString& title, const QString& dir, const QString& fileName,
                                  const QString&) {
  fileRequests.push_back(title + "|" + dir + "|" + fileName);
  return nextFile();
}

QString ScriptedDialogs::chooseFolder(const QString& title, const QString& dir) {
  fileRequests.push_back(title + "|" + dir);
  return nextFile();
}

std::optional<QString> ScriptedDialogs::askText(const QString& title, const QString& label, const QString& initial) {
  textRequests.push_back(title + "|" + label + "|" + initial);
  if (m_texts.empty()) return std::nullopt;
  QString text = m_texts.front();
  m_texts.pop_front();
  return text;
}
