#include "intake/BackupRecord.h"

#include <algorithm>
#include <fstream>

#include "core/Reader.h"
#include "core/TextUtil.h"
#include "core/PrivateFile.h"

namespace {

// One entry a line: the backup's name, then the reader's fields, TAB between them. No
// field holds a TAB or a line feed (addresses holding control bytes are never stored).
std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out(1);
  for (char c : line) {
    if (c == '\t')
      out.emplace_back();
    else
      out.back() += c;
  }
  return out;
}

}  // namespace

BackupRecord::BackupRecord(std::filesystem::path folder, const std::string& fileName)
    : m_file(std::move(folder) / fileName) {}

std::vector<BackupRecord::Entry> BackupRecord::owed() const {
  std::vector<Entry> entries;
  std::ifstream in(m_file, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string> f = fields(line);
    if (f[0].empty()) continue;
    Entry e{f[0], "", "", "", ""};
    if (f.size() == 5) {
      e.id = f[1];
      e.mail = f[2];
      e.date = f[3];
      e.time = f[4];
    }
    entries.push_back(e);
  }
  return entries;
}

void BackupRecord::write(const std::vector<Entry>& entries) const {
  std::string text;
  for (const Entry& e : entries) {
    text += e.backup;
    if (!e.id.empty()) text += "\t" + e.id + "\t" + e.mail + "\t" + e.date + "\t" + e.time;
    text += "\n";
  }
  PrivateFile::replaceDurably(m_file, text);
}

void BackupRecord::markOwed(const std::string& backup) {
  std::vector<Entry> entries = owed();
  for (const Entry& e : entries)
    if (e.backup == backup) return;
  entries.push_back({backup, "", "", "", ""});
  write(entries);
}

void BackupRecord::markCommitting(const std::string& backup, const Reader& last) {
  std::vector<Entry> entries = owed();
  for (Entry& e : entries)
    if (e.backup == backup) e = {backup, idText(last.id), trim(last.address), last.registered.dateText(), last.registered.timeText()};
  write(entries);
}

void BackupRecord::remove(const std::string& backup) {
  std::vector<Entry> entries = owed();
  const auto end = std::remove_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.backup == backup; });
  if (end == entries.end()) return;
  entries.erase(end, entries.end());
  write(entries);
}
