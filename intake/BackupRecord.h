#pragma once
#include <filesystem>
#include <string>
#include <vector>

struct Reader;

// Which backups of a fetched file still owe their import, kept in a small file in the
// local folder ("registdata.imports" for the registrations, "canceldata.imports" for the
// unsubscribe requests). A backup is entered as owed just before the
// server's copy is emptied, and leaves the record once its readers are committed. So
// that a kill between the commit and that removal imports nothing twice, the entry
// first takes the last reader of the import just before the commit: a later run finds
// that reader stored (committed) or not (import again). Every change rewrites the file
// durably (PrivateFile::replaceDurably), so a kill leaves the old or the new record.
class BackupRecord {
 public:
  static constexpr const char* kFileName = "registdata.imports";
  static constexpr const char* kCancelFileName = "canceldata.imports";

  struct Entry {
    std::string backup;  // the backup's file name, without its folder
    // The last reader of an import being committed, else empty.
    std::string id, mail, date, time;
  };

  BackupRecord() = default;
  explicit BackupRecord(std::filesystem::path folder, const std::string& fileName = kFileName);

  // Owed backups, oldest first. An unreadable record reads as empty.
  std::vector<Entry> owed() const;
  void markOwed(const std::string& backup);
  void markCommitting(const std::string& backup, const Reader& last);
  // The backup's readers are stored, or it owes nothing after all.
  void remove(const std::string& backup);

 private:
  void write(const std::vector<Entry>& entries) const;
  std::filesystem::path m_file;
};
