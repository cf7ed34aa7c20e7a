#pragma once
#include <memory>
#include <string>

#include "core/SendGuard.h"
#include "sending/SendRun.h"
#include "sending/StartCheck.h"

// What to do about characters the mails cannot carry: send nothing, send with the usual
// substitutes, or send without them, passing over the readers whose own names hold
// such characters.
enum class CharacterDecision { stop, substitute, withoutSubstitutes };

// What a send session asks of whoever starts it. The window asks the operator; an
// unattended command never asks: it refuses and remembers the exit status.
class SendPolicy {
 public:
  virtual ~SendPolicy() = default;
  // The start check found a problem: nothing is sent.
  virtual void refuse(const StartCheck& check) = 0;
  // The mails hold characters ISO-2022-JP cannot carry (check.onlyInNames(): in some
  // readers' own names only). A reader whose name holds a character without a
  // substitute is passed over whatever the decision.
  virtual CharacterDecision decideCharacters(const CharacterCheck& check) = 0;
  // It is not a sending day or hour (text: why, and when the next window opens): true
  // sends all the same, without stopping at the window's end.
  virtual bool sendOutsideWindow(const std::string& text) = 0;
  // The last word before the run: true goes ahead.
  virtual bool confirm(const DueList& list) = 0;
  // Puts the passwords the run needs into the settings; false sends nothing.
  virtual bool obtainPasswords(MailSettings& settings) = 0;
};

// The one sequence of a send, for the window and the command alike: the database's send
// lock, the start check, the characters the mails cannot carry, the confirmation and
// the passwords, then the run over the marked readers. The database failing while the
// stories are read propagates as DbError.
class SendSession {
 public:
  // With a database name, the session takes that database's send lock and keeps it as
  // long as the session lives; without one (tests of the other steps) it takes none.
  SendSession(SendRun& run, SendPolicy& policy, std::string databaseName = std::string())
      : m_run(run), m_policy(policy), m_databaseName(std::move(databaseName)) {}

  // The send lock alone, taken once; false, with the policy told (StartCheck busy,
  // "別の送信が実行中です。"), when another run holds it. A command takes it before it
  // lists the due readers, so that its list is not one another run is serving.
  bool guard();
  // Everything before the run (the lock first, unless held already); true when the
  // run may begin.
  bool prepare();
  // The run (on whichever thread the caller chose).
  SendReport execute(SendListener& listener) { return m_run.run(listener); }

 private:
  SendRun& m_run;
  SendPolicy& m_policy;
  std::string m_databaseName;
  std::unique_ptr<SendGuard> m_guard;
};
