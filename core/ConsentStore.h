#pragma once
#include <map>
#include <optional>
#include <string>

#include "core/DateStamp.h"

class Statement;

// How a reader consented to receive the mails.
enum class ConsentSource { webForm = 0, csvImport = 1, typedByHand = 2 };

// The name of the source (CP932): "Webフォーム" "CSV取込" "手入力".
const std::string& consentSourceText(ConsentSource source);

// One row of CONSENTS: a reader's consent as it was recorded when the reader was added.
struct Consent {
  int readerId = 0;
  std::string address;  // the reader's address then
  ConsentSource source = ConsentSource::typedByHand;
  DateStamp given;      // the registration time (web form), the import time, the save time
  std::string detail;   // the form's address or the imported file's name (CP932); "" by hand
};

// The line the reader window shows (CP932): "同意: Webフォーム 2026/12/09 08:00:00 https://…",
// or "同意: 記録なし" for a reader without a record.
std::string consentLine(const std::optional<Consent>& consent);

// Every statement on CONSENTS, run on the given statement object with bound values.
// Rows are only ever added: a stopped or deleted reader keeps its record, and a reader
// ID used again gets a newer row, which is then the one that counts. A write joins the
// Transaction open on the connection, so a reader and its consent are stored together.
class ConsentStore {
 public:
  explicit ConsentStore(Statement& query) : m_q(query) {}

  void add(const Consent& consent);
  // The newest record of the reader ID, if any.
  std::optional<Consent> newest(int readerId);
  // The newest record of every reader ID that has one, read in one query.
  std::map<int, Consent> newestOfEach();

 private:
  Statement& m_q;
};
