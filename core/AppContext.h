#pragma once
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "core/Database.h"

class QDialog;

// The windows that live from start-up to the end, in their creation order.
enum class WindowId {
  Settings,
  Receive,
  Password,
  StorySearch,
  Readers,
  ReaderSearch,
  Send,
  Story,
  RegistrationForm,
  CsvImport,
  Count
};

// What the main menu owns and every window reaches: the program folder, the one
// database connection with its one statement object, and the windows.
class AppContext {
 public:
  explicit AppContext(std::filesystem::path programDir);

  const std::filesystem::path& programDir() const { return m_programDir; }
  // A file of the program, beside the executable.
  std::filesystem::path file(const std::string& name) const { return m_programDir / name; }

  // Sets the connection's parameter lines for QUORMAIL.GDB beside the program and
  // opens it; the client's error propagates as DbError. After a failure, statements
  // that try again fail with the short text of unavailableDatabaseText.
  void openDatabase();
  // What the operator reads once when the database cannot be opened (CP932): the
  // database expected, why it may be unusable and what to do, then the client's text.
  std::string databaseProblemText(const std::string& clientText) const;
  // The short text every later statement fails with while the database stays closed.
  std::string unavailableDatabaseText() const;
  // QUORMAIL.GDB beside the program, unless the settings file names another database.
  std::string databaseName() const;
  // Creates an empty database from the schema the program carries when the database is
  // a local file that does not exist yet; true when it did. Leaves it closed.
  bool createMissingDatabase();

  QDialog* window(WindowId id) const { return m_windows[static_cast<size_t>(id)]; }
  void setWindow(WindowId id, QDialog* w) { m_windows[static_cast<size_t>(id)] = w; }

  Database database;
  Statement query{database};

 private:
  std::filesystem::path m_programDir;
  std::array<QDialog*, static_cast<size_t>(WindowId::Count)> m_windows{};
};

// The fixed parameter lines of the connection, for the given database name.
std::vector<std::string> connectionParams(const std::string& database);
