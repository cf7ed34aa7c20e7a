#include "core/SendHistory.h"
// Placeholder until the history table lands.
const std::string& outcomeText(SendOutcome) { static const std::string s; return s; }
void HistoryStore::add(const HistoryEntry&) {}
std::vector<HistoryEntry> HistoryStore::forReader(int) { return {}; }
void HistoryStore::forEach(std::optional<int>, std::optional<int>, const std::function<void(const HistoryEntry&)>&) {}
HistoryStore::Deferrals HistoryStore::deferrals(int, int) { return {}; }
std::vector<HistoryEntry> HistoryStore::lastRun() { return {}; }
