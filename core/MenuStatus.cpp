#include "core/MenuStatus.h"

#include <set>

#include "core/Database.h"
#include "core/TextUtil.h"

MenuCounts MenuCounts::read(Statement& q) {
  MenuCounts counts;
  std::set<int> stories;
  q.close();
  q.setCommandText(" SELECT STORYNO FROM STORYLIST");
  q.open();
  for (; !q.eof(); q.next()) stories.insert(toIntOr(trim(q.fieldByName("STORYNO")), 0));
  q.close();
  counts.stories = static_cast<int>(stories.size());

  // Only the two columns that decide: the menu reads them on every showing.
  q.setCommandText(" SELECT SYORIKBN, NEXTSTORY FROM USERLIST");
  q.open();
  for (; !q.eof(); q.next()) {
    ++counts.readers;
    const bool sendable = toIntOr(trim(q.fieldByName("SYORIKBN")), 0) == 1;
    if (sendable && stories.count(toIntOr(trim(q.fieldByName("NEXTSTORY")), -1))) ++counts.dueReaders;
  }
  q.close();
  return counts;
}
