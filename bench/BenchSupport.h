#pragma once
// Shared set-up of the benchmarks: a program folder with a fresh database and fast
// bulk filling of readers and story mails.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <cstdlib>
#include <unistd.h>

#include "core/AppContext.h"
#include "core/Database.h"

namespace bench {

inline std::filesystem::path freshProgramDir(const std::string& name) {
  namespace fs = std::filesystem;
  // One lock folder for the engine of the whole benchmark, whose program folders go.
  ::setenv("FIREBIRD_LOCK", ("/tmp/quormail-bench-" + std::to_string(::getuid())).c_str(), 0);
  const fs::path dir = fs::temp_directory_path() / ("quormail-bench-" + name + "-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::copy_file(QUORMAIL_BINARY_DIR "/tests/template/QUORMAIL.GDB", dir / "QUORMAIL.GDB");
  return dir;
}

// Inserts readers 00001..count in one statement (one transaction), all due story 00001.
inline void fillReaders(Statement& q, int count, int firstId = 1) {
  q.close();
  q.setCommandText(
      "EXECUTE BLOCK AS DECLARE I INTEGER = " + std::to_string(firstId) +
      "; BEGIN WHILE (:I < " + std::to_string(firstId + count) +
      ") DO BEGIN INSERT INTO USERLIST VALUES (LPAD(:I, 5, '0'), 'reader' || :I || '@example.com', '20240101', "
      "'120000', 'Reader ' || :I, '01', '00001', '00000000', '000000', '00000000', '000000', '', '', ''); "
      "I = :I + 1; END END");
  q.execute();
  q.close();
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The reference of the reader listings: the bare scan of every reader, every column
// read as text; seconds.
inline double bareReaderScan(Statement& q) {
  static const char* const kColumns[] = {"ID",          "MAILADDRESS", "TOUROKUDATE", "TOUROKUTIME", "NAME",
                                         "SYORIKBN",    "NEXTSTORY",   "SNDFASTDATE", "SNDFASTTIME", "SNDLASTDATE",
                                         "SNDLASTTIME", "BIKO1",       "BIKO2",       "BIKO3"};
  const auto t = std::chrono::steady_clock::now();
  q.close();
  q.setCommandText(" SELECT USERLIST.* FROM USERLIST ORDER BY ID ");
  q.open();
  size_t bytes = 0;
  while (!q.eof()) {
    for (const char* c : kColumns) bytes += q.fieldByName(c).size();
    q.next();
  }
  q.close();
  if (bytes == 0) std::fprintf(stderr, "no rows\n");
  return seconds(t);
}

// A file of size bytes (whole MiB) that does not compress to nothing.
inline void writeSampleFile(const std::string& path, std::size_t size) {
  std::string block(1 << 20, '\0');
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = char((i * 131) ^ (i >> 7));
  FILE* f = std::fopen(path.c_str(), "wb");
  for (std::size_t k = 0; k < size / block.size(); ++k) std::fwrite(block.data(), 1, block.size(), f);
  std::fclose(f);
}

// Resident set size of this process in MB.
inline double residentMb() {
  std::ifstream in("/proc/self/statm");
  long pages = 0, resident = 0;
  in >> pages >> resident;
  return resident * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

}  // namespace bench
