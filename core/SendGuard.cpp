#include "core/SendGuard.h"

#include "core/AppContext.h"
#include "core/Sjis.h"

namespace {
// Writing the row locks it until the transaction ends; the row is made again should it
// be missing.
const char* const kTake = " UPDATE OR INSERT INTO SENDLOCK (ID, RUNID) VALUES (1, :pRUN) MATCHING (ID)";
}  // namespace

std::unique_ptr<SendGuard> SendGuard::acquire(const std::string& databaseName, const std::string& runId) {
  std::unique_ptr<SendGuard> guard(new SendGuard);
  guard->m_db.setParams(connectionParams(databaseName));
  guard->m_db.open();
  // A transaction that does not wait: a run holding the row makes the write fail at once.
  guard->m_lock = std::make_unique<Transaction>(guard->m_db, Transaction::Locks::noWait);
  guard->m_query.setCommandText(kTake);
  guard->m_query.setParam("pRUN", runId.substr(0, 40));
  try {
    guard->m_query.execute();
  } catch (const DbLockConflict&) {
    return nullptr;
  }
  return guard;
}

const std::string& SendGuard::busyText() {
  static const std::string text = Sjis::fromUtf8("別の送信が実行中です。");
  return text;
}

SendGuard::~SendGuard() {
  // Nothing was meant to be kept: rolling back releases the row, closing the attachment
  // ends what is left.
  m_query.close();
  m_lock.reset();
  m_db.close();
}
