#pragma once
#include <string>
#include <vector>

class Statement;
class ImportHost;

// Adds readers from a CSV file the operator picks: address first, name second. Lines
// whose address holds no "@" are collected and offered for saving; each reader costs
// one MAX(ID) query and one INSERT, each committed on its own.
class CsvImport {
 public:
  enum class Outcome {
    NotStarted,  // file dialog or question cancelled, or the file unreadable
    Completed,   // the file was read to its end
    Stopped      // ID limit, insert failure or the operator's stop
  };

  static constexpr int kMaxFields = 255;

  CsvImport(Statement& q, ImportHost& host);

  // The run behind the start button.
  Outcome Csv_To_DB();
  // Inserts the reader of the current line's fields; answers the running flag.
  bool DB_Inseart(const std::vector<std::string>& fields);

  // "address,name" of every line refused for its address, in file order.
  const std::vector<std::string>& rejected() const { return m_rejected; }

  // Splits at every comma, dropping double quotes (they protect nothing); at most
  // kMaxFields fields, text after the last of them is ignored. Fields are not trimmed.
  static std::vector<std::string> splitLine(const std::string& line);

 private:
  void offerRejected();

  Statement& m_q;
  ImportHost& m_host;
  std::vector<std::string> m_rejected;
};
