#include "sending/SendSession.h"

#include "core/Clock.h"

bool SendSession::guard() {
  if (m_guard || m_databaseName.empty()) return true;
  m_guard = SendGuard::acquire(m_databaseName, Clock::nowStamp());
  if (m_guard) return true;
  m_policy.refuse(StartCheck{StartCheck::Outcome::busy, SendGuard::busyText()});
  return false;
}

bool SendSession::prepare() {
  if (!guard()) return false;
  const StartCheck check = checkStart(m_run.list(), m_run.settings());
  if (!check.ready()) {
    m_policy.refuse(check);
    return false;
  }
  const std::string now = Clock::nowStamp();
  const SendPace pace(m_run.settings());
  const bool outside = !pace.inWindow(now);
  if (outside &&
      !m_policy.sendOutsideWindow(pace.stopText(SendPace::Stop::outsideWindow, m_run.list().markedCount(), now)))
    return false;
  m_run.setWindowIgnored(outside);
  MailBuilder& mails = m_run.mails();
  mails.setReplaceUncarriable(false);
  const CharacterCheck characters = mails.checkCharacters(m_run.list(), m_run.list().markedIndexes());
  if (!characters.clean()) {
    const CharacterDecision decision = m_policy.decideCharacters(characters);
    if (decision == CharacterDecision::stop) return false;
    mails.setReplaceUncarriable(decision == CharacterDecision::substitute);
  }
  return m_policy.confirm(m_run.list()) && m_policy.obtainPasswords(m_run.settings());
}
