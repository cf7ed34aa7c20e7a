#include "tests/support/TestProgram.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <sstream>

#include "core/Sjis.h"

namespace fs = std::filesystem;

TestProgram::TestProgram(bool withDatabase, bool open) {
  std::random_device rd;
  m_dir = fs::temp_directory_path() /
          ("quormail-test-" + std::to_string(getpid()) + "-" + std::to_string(rd() % 1000000000));
  fs::create_directories(m_dir);
  if (withDatabase) fs::copy_file(QUORMAIL_TEMPLATE_DB, m_dir / "QUORMAIL.GDB");
  m_ctx = std::make_unique<AppContext>(m_dir);
  if (withDatabase && open) m_ctx->openDatabase();
}

TestProgram::~TestProgram() {
  m_ctx.reset();
  std::error_code ec;
  fs::remove_all(m_dir, ec);
}

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
  m_ctx->SQLConnection1.close();
}

std::string TestProgram::readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void TestProgram::writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string sj(const char* utf8) { return Sjis::fromUtf8(utf8); }
