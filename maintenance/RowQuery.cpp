#include "maintenance/RowQuery.h"

namespace RowQuery {

void executeWith(Statement& q, const std::string& sql, const std::string& name, const std::string& value) {
  q.close();
  q.setCommandText(sql);
  q.setParam(name, value);
  try {
    q.execute();
  } catch (...) {
    q.close();
    throw;
  }
  q.close();
}

}  // namespace RowQuery
