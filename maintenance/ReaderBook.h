#pragma once
#include <functional>
#include <optional>
#include <string>

#include "core/Tables.h"

class Statement;

// Which column the reader search starts from.
enum class ReaderSearchBy { Name, Address };

// The readers as the maintenance screens reach them through the shared statement. Keys
// passed in are already zero-filled; failures propagate as DbError.
class ReaderBook {
 public:
  explicit ReaderBook(Statement& q) : m_q(q) {}

  std::optional<ReaderRow> find(const std::string& id);
  // The largest stored ID as a number; 0 for an empty table.
  int lastId();
  std::optional<ReaderRow> after(const std::string& id);
  std::optional<ReaderRow> before(const std::string& id);

  // The ID (5 characters) of a reader other than ownId whose address is the given one,
  // compared without regard to letter case or surrounding blanks; nothing when none.
  std::optional<std::string> addressHolder(const std::string& address, const std::string& ownId);

  // Inserts or updates; kind tells which statement ran or failed.
  void write(const ReaderRow& r, WriteKind& kind);
  void remove(const std::string& id);

  // Every reader whose searched column begins with the condition, in that column's
  // order: hit(id 5, name 60, address 50) per reader. Returns the number of hits.
  int search(ReaderSearchBy by, const std::string& condition,
             const std::function<void(const std::string&, const std::string&, const std::string&)>& hit);

 private:
  Statement& m_q;
};
