#pragma once
// What the intake tests share: a program folder with its database, a listener standing
// in for the window that runs an engine, and reading back readers.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "intake/IntakeListener.h"
#include "intake/ReceiveRun.h"
#include "intake/RunLog.h"
#include "settings/SettingsFiles.h"
#include "tests/support/TestProgram.h"

// Stands in for a window: records what an engine reports. The hooks let a test act at
// a given moment, on the engine's thread.
struct RecordingListener : IntakeListener {
  void messageLine(const std::string& text) override {
    message = text;
    if (onMessage) onMessage(text);
  }
  void transferStarted(std::int64_t size) override { transferSize = size; }
  void transferProgress(std::int64_t count, std::int64_t size) override {
    lastProgress = {count, size};
    if (onProgress) onProgress(count);
  }
  void readerRegistered(int count) override {
    registered = count;
    if (onRegistered) onRegistered(count);
  }
  void showBox(OperatorBox box, const std::string& text) override { boxes.emplace_back(box, text); }
  void finished(const IntakeReport& r) override { report = r; }

  std::vector<std::string> boxTexts() const {
    std::vector<std::string> out;
    for (const auto& b : boxes) out.push_back(b.second);
    return out;
  }

  std::string message;  // the message line as last set
  std::int64_t transferSize = -1;
  std::pair<std::int64_t, std::int64_t> lastProgress{-1, -1};
  int registered = 0;
  std::vector<std::pair<OperatorBox, std::string>> boxes;
  std::optional<IntakeReport> report;
  std::function<void(const std::string&)> onMessage;
  std::function<void(std::int64_t)> onProgress;
  std::function<void(int)> onRegistered;
};

struct IntakeTest : ::testing::Test {
  TestProgram program;
  RecordingListener listener;
  std::atomic<bool> stop{false};

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
  // One reader with the given address and send status.
  void storeReader(const std::string& id, const std::string& address, const std::string& status = "01") {
    program.exec(" INSERT INTO USERLIST (ID, MAILADDRESS, SYORIKBN, NEXTSTORY) VALUES ('" + id + "', '" + address +
                 "', '" + status + "', '00002')");
  }
  std::string statusOf(const std::string& id) {
    return program.rows(" SELECT SYORIKBN FROM USERLIST WHERE ID = '" + id + "'", {"SYORIKBN"})[0][0];
  }
  // A receive run against a test FTP server's "/data" folder (user "quor", password
  // "pass"), into the local folder "recv", as the window would start it.
  IntakeReport receiveFrom(int ftpPort) {
    const std::string local = program.file("recv").string();
    std::filesystem::create_directories(local);
    ReceiveRun engine(program.sql(), listener, stop);
    engine.log().setPaths(program.file("FtpRcv.log"), program.file("FtpRcv_Err.log"));
    engine.changeDirWaitMs = 0;
    engine.port = ftpPort;
    FtpSettings s;
    s.host = "127.0.0.1";
    s.user = "quor";
    s.passwordMode = 1;
    s.password = "pass";
    s.hostFolder = "/data";
    s.localFolder = local;
    return engine.run(s);
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

// Keeps the user-interface thread's events flowing until the condition holds; false
// when it still does not after the deadline (a hung run fails instead of hanging).
inline bool waitUntil(const std::function<bool()>& condition, int deadlineMs = 60000) {
  QDeadlineTimer deadline(deadlineMs);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(2);
  }
  return true;
}

inline std::string pad(const std::string& s, size_t width) { return s + std::string(width - s.size(), ' '); }
