#pragma once
#include <optional>
#include <string>
#include <vector>

#include "core/Tables.h"

class Statement;

// The story mails as the story screens reach them through the shared statement. Numbers
// passed in are already zero-filled; failures propagate as DbError.
class StoryBook {
 public:
  explicit StoryBook(Statement& q) : m_q(q) {}

  // Number of stored mails.
  int count();
  // The largest stored number, first 5 characters of MAX; empty for an empty table.
  std::string lastNo();
  std::optional<StoryRow> find(const std::string& no);
  std::optional<StoryRow> after(const std::string& no);
  // Before the number, or the mail numbered lastNo when no is blank.
  std::optional<StoryRow> before(const std::string& no, const std::string& lastNo);
  // Number (5 characters) and subject (200 characters) of every mail from no on.
  std::vector<StoryRow> listFrom(const std::string& no);

  // Inserts or updates; kind tells which statement ran or failed.
  void write(const StoryRow& s, WriteKind& kind);
  void remove(const std::string& no);

  // A row as the story screen loads it: the body cut to what the screen holds.
  static StoryRow read(const Statement& q);

  static constexpr int kSubjectChars = 200;
  static constexpr int kBodyChars = 16382;

 private:
  Statement& m_q;
};
