#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/AppContext.h"
#include "tests/support/TempDir.h"

// A temporary program folder holding a fresh database made from the schema, with the
// context that windows see; removed again at the end of the test.
class TestProgram {
 public:
  // withDatabase=false leaves the folder without QUORMAIL.GDB.
  explicit TestProgram(bool withDatabase = true, bool open = true);
  ~TestProgram();

  const std::filesystem::path& dir() const { return m_dir; }
  std::filesystem::path file(const std::string& name) const { return m_dir / name; }
  AppContext& ctx() { return *m_ctx; }
  Statement& sql() { return m_ctx->query; }

  // Runs one statement that returns no rows.
  void exec(const std::string& statement);
  // All rows of a query, each as the listed columns' values.
  std::vector<std::vector<std::string>> rows(const std::string& query, const std::vector<std::string>& columns);
  // Closes the database (for checks of the file from outside).
  void closeDatabase();

  static std::string readFile(const std::filesystem::path& path);
  static void writeFile(const std::filesystem::path& path, const std::string& bytes);

 private:
  TempDir m_temp;
  std::filesystem::path m_dir;
  std::unique_ptr<AppContext> m_ctx;
};

// "漢字" in UTF-8 source text as the program's CP932 bytes.
std::string sj(const char* utf8);
