#pragma once
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/Reader.h"
#include "core/WriteKind.h"

class Statement;

// Which column the reader search starts from.
enum class ReaderSearchBy { Name, Address };

// Every statement on USERLIST, run on the given statement object. Values are bound as
// parameters; texts are cut to their column's width without splitting a double-byte
// character. Failures propagate as DbError, the statement closed.
class ReaderStore {
 public:
  explicit ReaderStore(Statement& q) : m_q(q) {}

  std::optional<Reader> find(int id);
  // The largest stored ID; 0 for an empty table or an unreadable value.
  int maxId();
  // The next reader after id, or before it; without an id, the first or the last one.
  std::optional<Reader> after(std::optional<int> id);
  std::optional<Reader> before(std::optional<int> id);
  // A reader other than ownId whose address is the given one, compared without regard
  // to letter case or surrounding blanks.
  std::optional<int> addressHolder(const std::string& address, int ownId);
  // Every reader whose searched column begins with the condition, in that column's
  // order. Returns the number of hits.
  int search(ReaderSearchBy by, const std::string& condition, const std::function<void(const Reader&)>& hit);
  // The kNewestCount readers registered last, newest first.
  static constexpr int kNewestCount = 30;
  void newest(const std::function<void(const Reader&)>& visit);
  // Every reader in ID order, read in one query.
  void forEach(const std::function<void(Reader&)>& visit);
  int count();
  // The columns that decide whether a reader is due, of every reader in one query.
  void forEachDueColumns(
      const std::function<void(SendStatus status, int nextStory, const std::string& registeredDate,
                               const std::string& lastSentDate)>& visit);
  // Every stored address as its column holds it (blank-padded), in one query.
  void forEachAddress(const std::function<void(std::string& address)>& visit);
  // ID and send status of the reader numbered id, or of every reader with the address
  // (compared without regard to letter case or surrounding blanks).
  std::vector<std::pair<int, SendStatus>> statusById(int id);
  std::vector<std::pair<int, SendStatus>> statusByAddress(const std::string& address);

  // Inserts the reader when its ID is absent, else updates it; kind, when given, is set
  // to the statement before it runs, so a caller can name a failed one.
  void save(const Reader& r, WriteKind* kind = nullptr);
  void insert(const Reader& r);
  void update(const Reader& r);
  void remove(int id);
  // Stops sending to the reader (send status stopped).
  void stop(int id);
  // After story sentStory went to the reader: the next story number, the last sent
  // date and time, and the first ones when none is stored yet. Only while the stored
  // reader still waits for sentStory and is sendable; returns whether it changed.
  bool advance(int id, int sentStory, const DateStamp& sent);

 private:
  Statement& m_q;
};
