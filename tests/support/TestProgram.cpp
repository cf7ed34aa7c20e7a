#include "tests/support/TestProgram.h"

#include "core/Sjis.h"

namespace fs = std::filesystem;

TestProgram::TestProgram(bool withDatabase, bool open) : m_dir(m_temp.path()) {
  if (withDatabase) fs::copy_file(QUORMAIL_TEMPLATE_DB, m_dir / "QUORMAIL.GDB");
  m_ctx = std::make_unique<AppContext>(m_dir);
  if (withDatabase && open) m_ctx->openDatabase();
}

// The database closes before the folder goes.
TestProgram::~TestProgram() { m_ctx.reset(); }

void TestProgram::exec(const std::string& statement) {
  Statement& s = sql();
  s.close();
  s.setCommandText(statement);
  s.execute();
  s.close();
}

std::vector<std::vector<std::string>> TestProgram::rows(const std::string& query,
                                                         const std::vector<std::string>& columns) {
  std::vector<std::vector<std::string>> out;
  Statement& s = sql();
  s.close();
  s.setCommandText(query);
  s.open();
  while (!s.eof()) {
    std::vector<std::string> row;
    for (const std::string& c : columns) row.push_back(s.fieldByName(c));
    out.push_back(std::move(row));
    s.next();
  }
  s.close();
  return out;
}

void TestProgram::closeDatabase() {
  sql().close();
  m_ctx->database.close();
}

std::string TestProgram::readFile(const fs::path& path) { return readFileBytes(path.string()); }

void TestProgram::writeFile(const fs::path& path, const std::string& bytes) { writeFileBytes(path.string(), bytes); }

std::string sj(const char* utf8) { return Sjis::fromUtf8(utf8); }
