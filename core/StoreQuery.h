#pragma once
#include <initializer_list>
#include <string>
#include <utility>

#include "core/Database.h"

// How the two stores run their statements: close, set the text, bind the values, open
// or execute, close again (also after a failure).
namespace StoreQuery {

using Params = std::initializer_list<std::pair<const char*, std::string>>;

// Opens the query and hands each row to visit until it returns false.
template <typename Visit>
void eachRow(Statement& q, const char* sql, Params params, Visit visit) {
  q.close();
  q.setCommandText(sql);
  for (const auto& [name, value] : params) q.setParam(name, value);
  try {
    q.open();
    for (; !q.eof(); q.next())
      if (!visit(q)) break;
  } catch (...) {
    q.close();
    throw;
  }
  q.close();
}

// Runs a statement that returns no rows; returns how many rows it changed.
unsigned long long execute(Statement& q, const char* sql, Params params);

}  // namespace StoreQuery
