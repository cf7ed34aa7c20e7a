#pragma once
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Every failure of the database client, carrying the engine's own message text.
class DbError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A row another transaction holds, met by a transaction that does not wait for locks.
class DbLockConflict : public DbError {
 public:
  using DbError::DbError;
};

// The one connection of the program. Parameters are "key=value" lines: Database,
// User_Name, Password, RoleName, SQLDialect and ServerCharSet.
class Database {
 public:
  Database();
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // The folder of the engine's lock files for this process, unless FIREBIRD_LOCK names
  // one: the first call before the engine starts counts (AppContext gives the data
  // folder's). It must be the user's own and writable by nobody else.
  static void setLockFolder(const std::string& folder);
  void setParams(std::vector<std::string> params);
  // Value of a parameter line, empty when absent.
  std::string param(const std::string& key) const;

  void open();
  // Creates the database file the parameters name (it must not exist yet), runs the
  // statements of the schema on it and leaves it open.
  void create(const std::string& schema);
  void close();
  bool connected() const;
  // What a statement's own attempt to reopen a closed connection fails with instead of
  // the engine's text, once the operator has been told the engine's reason. Empty
  // (the default): the engine's text.
  void setReopenFailureText(std::string text);

 private:
  friend class Statement;
  friend class Transaction;
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

// The one statement object, bound to the connection. Each use closes it, sets a
// complete SQL text, then opens (SELECT) or executes (anything else). Results are
// read forward; every value is text, an SQL NULL reads as "".
class Statement {
 public:
  explicit Statement(Database& db);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // The connection the statement runs on.
  Database& database() const;

  void close();
  void setCommandText(const std::string& sql);
  const std::string& commandText() const;
  // Binds a named parameter (":pID" in the text) as text: up to 32,765 bytes, or of any
  // length where the parameter stands for a BLOB column (it then goes as a blob).
  void setParam(const std::string& name, const std::string& value);

  void open();
  void first();
  bool eof() const;
  void next();
  std::string fieldByName(const std::string& name) const;
  // Runs a statement that returns no rows, committed on its own (or with the
  // connection's Transaction); returns how many rows it changed.
  unsigned long long execute();

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

// One write transaction that every statement of the connection joins until it ends
// (statements otherwise commit on their own). Rolled back on destruction unless
// committed. A savepoint marks a point inside it that a failure can be undone to; a
// new savepoint of the same name replaces the old one.
class Transaction {
 public:
  // What a statement does on a row another transaction holds: wait until that one ends,
  // or fail at once with DbLockConflict.
  enum class Locks { wait, noWait };

  explicit Transaction(Database& db, Locks locks = Locks::wait);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  void commit();
  void rollback();
  void savepoint(const std::string& name);
  // Undoes what followed the savepoint; the savepoint stays.
  void rollbackToSavepoint(const std::string& name);

 private:
  void end(bool commit);
  void executeText(const std::string& sql);
  Database& m_db;
};
