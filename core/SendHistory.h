#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/DateStamp.h"

class Statement;

enum class SendOutcome { sent, deferred, refused, skipped, unknown };
const std::string& outcomeText(SendOutcome outcome);

struct HistoryEntry {
  int readerId = 0;
  int story = 0;
  DateStamp time;
  SendOutcome outcome = SendOutcome::sent;
  std::string code;
  std::string reply;
  std::string runId;
};

class HistoryStore {
 public:
  explicit HistoryStore(Statement& query) : m_query(query) {}
  void add(const HistoryEntry& entry);
  std::vector<HistoryEntry> forReader(int readerId);
  void forEach(std::optional<int> readerId, std::optional<int> sinceDate,
               const std::function<void(const HistoryEntry&)>& each);
  struct Deferrals {
    int runs = 0;
    int firstDate = 0;
  };
  Deferrals deferrals(int readerId, int story);
  std::vector<HistoryEntry> lastRun();

 private:
  Statement& m_query;
};
