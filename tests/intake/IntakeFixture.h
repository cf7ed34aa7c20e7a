#pragma once
// What the intake tests share: a program folder with its database, the scripted boxes,
// a host standing in for the window that runs an import, and reading back readers.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "intake/RegistrationImportHost.h"
#include "intake/RunLog.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestProgram.h"

// The receive window's state for an import: Run_Flg, ErrLog_Flg, Reg_Cnt, LMSG and the
// logs beside the program. onEvents runs at every event pump with the pump's number.
class ImportWindow : public RegistrationImportHost {
 public:
  explicit ImportWindow(const TestProgram& p) : log(p.file("FtpRcv.log"), p.file("FtpRcv_Err.log")) {}

  bool running() const override { return Run_Flg; }
  void stopRunning() override { Run_Flg = false; }
  void readerRegistered() override { ++Reg_Cnt; }
  void processEvents() override {
    if (onEvents) onEvents(++pumps);
  }
  void showMessage(const std::string& text) override { LMSG = text; }
  void LogWrite(const std::string& text) override { log.LogWrite(text); }
  void ErrLogWrite(const std::string& text) override {
    if (log.ErrLogWrite(text)) ErrLog_Flg = true;
  }

  RunLog log;
  bool Run_Flg = true;
  bool ErrLog_Flg = false;
  int Reg_Cnt = 0;
  int pumps = 0;
  std::string LMSG;
  std::function<void(int)> onEvents;
};

struct IntakeTest : ::testing::Test {
  TestProgram program;
  ScriptedDialogs boxes;

  void SetUp() override { Clock::setFixedStamp("20240507123456"); }
  void TearDown() override { Clock::setFixedStamp(""); }

  // Every reader in key order, as the listed columns.
  std::vector<std::vector<std::string>> readers(const std::vector<std::string>& columns) {
    return program.rows(" SELECT USERLIST.* FROM USERLIST ORDER BY ID", columns);
  }
  size_t readerCount() { return readers({"ID"}).size(); }
  // Readers 1..count already stored, so that the next number is count + 1.
  void storeReaders(int first, int last) {
    program.exec("EXECUTE BLOCK AS DECLARE I INTEGER = " + std::to_string(first) + "; BEGIN WHILE (:I <= " +
                 std::to_string(last) +
                 ") DO BEGIN INSERT INTO USERLIST (ID, MAILADDRESS) VALUES (LPAD(:I, 5, '0'), 'old@example.com'); "
                 "I = :I + 1; END END");
  }
  // Splits a log into its lines (CR LF ends).
  static std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t crlf; (crlf = text.find("\r\n", start)) != std::string::npos; start = crlf + 2)
      out.push_back(text.substr(start, crlf - start));
    if (start < text.size()) out.push_back(text.substr(start) + "<no CR LF>");
    return out;
  }
};

// 300 lines of random bytes, each at most maxLength long. No NUL (the statement text
// ends there); a line feed inside a line becomes lineFeedStandIn.
inline std::string randomLines(unsigned seed, int maxLength, char lineFeedStandIn) {
  std::mt19937 rng(seed);
  std::string content;
  for (int line = 0; line < 300; ++line) {
    const int length = static_cast<int>(rng() % static_cast<unsigned>(maxLength));
    for (int i = 0; i < length; ++i) {
      const char c = static_cast<char>(1 + rng() % 255);
      content += c == '\n' ? lineFeedStandIn : c;
    }
    content += '\n';
  }
  return content;
}

inline std::string pad(const std::string& s, size_t width) { return s + std::string(width - s.size(), ' '); }
