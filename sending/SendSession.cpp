#include "sending/SendSession.h"

bool SendSession::prepare() {
  const StartCheck check = checkStart(m_run.list(), m_run.settings());
  if (!check.ready()) {
    m_policy.refuse(check);
    return false;
  }
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
