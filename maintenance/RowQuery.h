#pragma once
#include <optional>
#include <string>

#include "core/Database.h"

// The shared statement used the way every maintenance screen uses it: close, set the
// whole text, open or execute, close again.
namespace RowQuery {

// The first row of a query read through read(statement), or nothing when it has none.
template <typename Read>
auto first(Statement& q, const std::string& sql, Read read) -> std::optional<decltype(read(q))> {
  q.close();
  q.setCommandText(sql);
  q.open();
  std::optional<decltype(read(q))> row;
  if (!q.eof()) row = read(q);
  q.close();
  return row;
}

// Runs a statement with one named text parameter (the two DELETE statements).
void executeWith(Statement& q, const std::string& sql, const std::string& name, const std::string& value);

}  // namespace RowQuery
