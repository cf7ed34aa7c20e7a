#pragma once
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "core/Story.h"
#include "core/WriteKind.h"

class Statement;

// Every statement on STORYLIST, run on the given statement object. Values are bound as
// parameters, the body as a blob. Failures propagate as DbError, the statement closed.
class StoryStore {
 public:
  explicit StoryStore(Statement& q) : m_q(q) {}

  int count();
  // The largest stored number; nothing for an empty table.
  std::optional<int> maxNumber();
  std::optional<Story> find(int number);
  std::optional<Story> after(int number);
  std::optional<Story> before(int number);
  // Number, subject and interval (no body) of every mail from number on, in order.
  std::vector<Story> listFrom(int number);
  // Number and subject (no body) of every mail.
  void forEachSubject(const std::function<void(int number, const std::string& subject)>& visit);
  // (number, days) of every mail with an interval above zero.
  std::vector<std::pair<int, int>> intervals();

  // Inserts the mail when its number is absent, else updates it; kind, when given, is
  // set to the statement before it runs.
  void save(const Story& s, WriteKind* kind = nullptr);
  void remove(int number);

 private:
  Statement& m_q;
};
