#include "core/StoreQuery.h"

namespace StoreQuery {

unsigned long long execute(Statement& q, const char* sql, Params params) {
  q.close();
  q.setCommandText(sql);
  for (const auto& [name, value] : params) q.setParam(name, value);
  unsigned long long changed = 0;
  try {
    changed = q.execute();
  } catch (...) {
    q.close();
    throw;
  }
  q.close();
  return changed;
}

}  // namespace StoreQuery
