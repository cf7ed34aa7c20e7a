#pragma once
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "intake/IntakeListener.h"

class Statement;
class Transaction;

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
  // cannot be opened is reported in the error box and nothing is read.
  IntakeReport run(const std::filesystem::path& file);

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
