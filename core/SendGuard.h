#pragma once
#include <memory>
#include <string>

#include "core/Database.h"

// At most one send run works on a database at a time: across the window, the commands
// and other computers sharing a Firebird server. The guard holds the one row of
// SENDLOCK locked in a transaction of an attachment of its own; the engine keeps the
// lock for every process and computer, and lets go of it when the attachment ends, also
// when the process holding it was killed.
class SendGuard {
 public:
  // Takes the database's send lock for as long as the guard lives; nothing when another
  // run (this process or another, this computer or another) holds it. DbError on other
  // failures. runId is written to the lock row, for anyone looking who holds it.
  static std::unique_ptr<SendGuard> acquire(const std::string& databaseName, const std::string& runId = std::string());
  // What a second run is told (CP932): "別の送信が実行中です。"
  static const std::string& busyText();

  ~SendGuard();  // releases
  SendGuard(const SendGuard&) = delete;
  SendGuard& operator=(const SendGuard&) = delete;

 private:
  SendGuard() = default;

  Database m_db;
  Statement m_query{m_db};
  std::unique_ptr<Transaction> m_lock;
};
