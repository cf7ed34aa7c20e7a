#include "core/MenuStatus.h"

#include "core/Database.h"
#include "core/TextUtil.h"

namespace {
int countOf(Statement& q, const char* sql) {
  q.close();
  q.setCommandText(sql);
  q.open();
  const int n = q.eof() ? 0 : toIntOr(trim(q.fieldByName("N")), 0);
  q.close();
  return n;
}
}  // namespace

MenuCounts MenuCounts::read(Statement& q) {
  MenuCounts counts;
  counts.stories = countOf(q, " SELECT COUNT(*) AS N FROM STORYLIST");
  counts.readers = countOf(q, " SELECT COUNT(*) AS N FROM USERLIST");
  return counts;
}
