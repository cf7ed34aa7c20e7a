#include "core/SchemaUpgrade.h"

#include "core/Database.h"
#include "core/TextUtil.h"

namespace {

bool hasColumn(Statement& q, const char* table, const char* column) {
  q.close();
  q.setCommandText(std::string(" SELECT COUNT(*) AS N FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = '") + table +
                   "' AND RDB$FIELD_NAME = '" + column + "'");
  q.open();
  q.first();
  const bool found = !q.eof() && toIntOr(trim(q.fieldByName("N")), 0) > 0;
  q.close();
  return found;
}

void run(Statement& q, const std::string& sql) {
  q.close();
  q.setCommandText(sql);
  q.execute();
  q.close();
}

}  // namespace

void upgradeSchema(Statement& q) {
  // The interval between story mails.
  if (!hasColumn(q, "STORYLIST", "INTERVALDAYS")) run(q, " ALTER TABLE STORYLIST ADD INTERVALDAYS INTEGER");
}
