#pragma once
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "intake/IntakeListener.h"

class Statement;
class Transaction;

// Where a file's lines hold the address and the name, and whether its first line is a
// header to pass over.
struct CsvLayout {
  int addressColumn = 0;  // 0: "address,name" (the expected layout); 1: "name,address"
  bool header = false;

  int nameColumn() const { return 1 - addressColumn; }
};

// One of the first lines of a file as the import would store it.
struct CsvPreviewRow {
  std::string address;
  std::string name;
  std::string refusal;  // why the line would not be stored (CP932); empty: stored
};

// Adds readers from a CSV file: address first, name second. Lines whose address holds
// no "@", a byte no address may hold, or an address a reader already has (letter case
// aside; also an earlier line of the file) are collected in the report for the operator
// to save, the last two with the reason after the name. Existing readers are never
// changed, so a reader who unsubscribed stays so. The file is one transaction with a
// savepoint per line, committed once at its end, also after a stop or a failure (the
// readers before it stay, as the operator was told). A number that a concurrent
// import took first is replaced by the next free one. A stop request takes effect
// between two lines. Each reader added records its consent: a CSV import of this file at
// the time of the import.
class CsvImport {
 public:
  static constexpr int kMaxFields = 255;
  // How often a line takes a fresh number after a key conflict before it is refused.

  CsvImport(Statement& query, IntakeListener& listener, const std::atomic<bool>& stop);

  // Reads the file to its end, the ID limit, an insert failure or a stop. A file that
  // cannot be opened is reported in the error box and nothing is read. The report counts
  // the refused lines and, among them, the addresses already registered.
  IntakeReport run(const std::filesystem::path& file, CsvLayout layout = {});

  // The first non-empty lines of a file (at most count), as read by the import; empty
  // when it cannot be read.
  static std::vector<std::string> firstLines(const std::filesystem::path& file, std::size_t count);
  // The layout the lines show: a first line without any address followed by lines with
  // one is a header; addresses found only in the second column make "name,address".
  static CsvLayout detectLayout(const std::vector<std::string>& lines);
  // The lines (header passed over) as the import would store them, without the checks
  // against the database.
  static std::vector<CsvPreviewRow> preview(const std::vector<std::string>& lines, const CsvLayout& layout);

  // Splits at every comma, dropping double quotes (they protect nothing); at most
  // kMaxFields fields, text after the last of them is ignored. Fields are not trimmed.
  static std::vector<std::string> splitLine(const std::string& line);

  // Writes the refused lines, each ended by CR LF; empty when written, else the
  // system's reason.
  static std::string saveRejected(const std::filesystem::path& target, const std::vector<std::string>& lines);

 private:
  // Inserts the reader of a line's address and name; false ends the import.
  bool insertReader(const std::string& address, const std::string& name, Transaction& transaction);

  std::string m_fileName;  // the file as the operator chose it: each new reader's consent

  Statement& m_query;
  IntakeListener& m_listener;
  const std::atomic<bool>& m_stop;
  int m_registered = 0;
  int m_last = 0;  // the largest reader number so far
};
