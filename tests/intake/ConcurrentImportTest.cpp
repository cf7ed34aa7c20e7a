// Two imports at once on one database of a real Firebird server, each on its own
// connection: the race between MAX(ID) and the insert must not cost a registration.
#include <set>
#include <thread>

#include "core/IniFile.h"
#include "intake/CsvImport.h"
#include "intake/RegistrationImport.h"
#include "tests/intake/IntakeFixture.h"
#include "tests/support/FirebirdServer.h"

namespace {

// A program folder whose [Database] names the server's database.
struct ServerProgram {
  TestProgram program{false, false};
  explicit ServerProgram(const std::string& database) {
    IniFile(program.file("QuorMail.env")).writeString("Database", "Database", database);
    program.ctx().openDatabase();
  }
};

TEST(ConcurrentImport, TwoImportsOfAThousandLinesEachStoreEveryReaderOnce) {
  if (!FirebirdTestServer::available()) GTEST_SKIP() << "needs root and Debian's firebird3.0-server";
  FirebirdTestServer server;
  ServerProgram first(server.databaseName()), second(server.databaseName());
  first.program.exec(" DELETE FROM USERLIST");

  std::string registrations, csv;
  for (int i = 1; i <= 1000; ++i) {
    registrations += "R" + std::to_string(i) + "\tr" + std::to_string(i) + "@example.com\t2024/01/02 03:04:05\n";
    csv += "c" + std::to_string(i) + "@example.com,C" + std::to_string(i) + "\n";
  }
  TestProgram::writeFile(first.program.file("registdata.cgi"), registrations);
  TestProgram::writeFile(second.program.file("readers.csv"), csv);

  const std::atomic<bool> stop{false};
  RecordingListener firstListener, secondListener;
  RunLog log(first.program.file("FtpRcv.log"), first.program.file("FtpRcv_Err.log"));
  RegistrationImport registration(first.program.sql(), log, firstListener, stop);
  CsvImport csvImport(second.program.sql(), secondListener, stop);
  bool registered = false;
  IntakeReport csvReport;
  std::thread a([&] { registered = registration.importFile(first.program.file("registdata.cgi")); });
  std::thread b([&] { csvReport = csvImport.run(second.program.file("readers.csv")); });
  a.join();
  b.join();

  EXPECT_TRUE(registered);
  EXPECT_EQ(registration.registeredCount(), 1000);
  EXPECT_EQ(csvReport.registered, 1000);
  EXPECT_TRUE(firstListener.boxes.empty());
  EXPECT_TRUE(secondListener.boxes.empty());
  const auto rows = first.program.rows(" SELECT ID, MAILADDRESS FROM USERLIST ORDER BY ID", {"ID", "MAILADDRESS"});
  ASSERT_EQ(rows.size(), 2000u);
  std::set<std::string> addresses;
  for (const auto& r : rows) addresses.insert(r[1]);
  EXPECT_EQ(addresses.size(), 2000u);
  EXPECT_EQ(rows.back()[0], "02000");  // numbered 1..2000 without a gap
}

}  // namespace
