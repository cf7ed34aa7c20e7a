#include "core/SchemaUpgrade.h"

#include "core/Database.h"
#include "core/TextUtil.h"

namespace {

// Whether the system table holds a row with the given names (trusted constants).
bool exists(Statement& q, const std::string& table, const std::string& condition) {
  q.close();
  q.setCommandText(" SELECT COUNT(*) AS N FROM " + table + " WHERE " + condition);
  q.open();
  q.first();
  const bool found = !q.eof() && toIntOr(trim(q.fieldByName("N")), 0) > 0;
  q.close();
  return found;
}

bool hasColumn(Statement& q, const std::string& table, const std::string& column) {
  return exists(q, "RDB$RELATION_FIELDS", "RDB$RELATION_NAME = '" + table + "' AND RDB$FIELD_NAME = '" + column + "'");
}

bool hasTable(Statement& q, const std::string& table) {
  return exists(q, "RDB$RELATIONS", "RDB$RELATION_NAME = '" + table + "'");
}

bool hasIndex(Statement& q, const std::string& index) {
  return exists(q, "RDB$INDICES", "RDB$INDEX_NAME = '" + index + "'");
}

bool hasSequence(Statement& q, const std::string& sequence) {
  return exists(q, "RDB$GENERATORS", "RDB$GENERATOR_NAME = '" + sequence + "'");
}

bool hasConstraint(Statement& q, const std::string& constraint) {
  return exists(q, "RDB$RELATION_CONSTRAINTS", "RDB$CONSTRAINT_NAME = '" + constraint + "'");
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
  // The send history with its one index. A history made by an earlier version had a
  // generated key, a primary key and three more indexes, each a page write per entry:
  // they go, the key's order kept in SEQ.
  if (!hasTable(q, "SENDHISTORY"))
    run(q,
        " CREATE TABLE SENDHISTORY (READERID INTEGER, STORY INTEGER, SENTDATE CHAR(8), SENTTIME CHAR(6),"
        " OUTCOME SMALLINT, REPLYCODE VARCHAR(20), REPLY VARCHAR(1000), RUNID VARCHAR(40), SEQ INTEGER)");
  if (!hasColumn(q, "SENDHISTORY", "SEQ")) run(q, " ALTER TABLE SENDHISTORY ADD SEQ INTEGER");
  if (hasConstraint(q, "PK_SENDHISTORY")) run(q, " ALTER TABLE SENDHISTORY DROP CONSTRAINT PK_SENDHISTORY");
  for (const char* index : {"IX_SENDHISTORY_READERID", "IX_SENDHISTORY_RUNID", "IX_SENDHISTORY_ID_DESC"})
    if (hasIndex(q, index)) run(q, std::string(" DROP INDEX ") + index);
  if (hasColumn(q, "SENDHISTORY", "ID")) {
    run(q, " UPDATE SENDHISTORY SET SEQ = ID");
    run(q, " ALTER TABLE SENDHISTORY DROP ID");
  }
  if (!hasIndex(q, "IX_SENDHISTORY_READER_RUN"))
    run(q, " CREATE INDEX IX_SENDHISTORY_READER_RUN ON SENDHISTORY (READERID, RUNID)");
  // The runs, filled from the history already kept.
  if (!hasTable(q, "SENDRUNS")) {
    run(q, " CREATE TABLE SENDRUNS (RUNID VARCHAR(40) NOT NULL, STARTED CHAR(14), CONSTRAINT PK_SENDRUNS PRIMARY KEY (RUNID))");
    run(q,
        " INSERT INTO SENDRUNS (RUNID, STARTED) SELECT RUNID, MIN(SENTDATE || SENTTIME) FROM SENDHISTORY"
        " WHERE RUNID IS NOT NULL GROUP BY RUNID");
  }
  // The row a send run locks so that a second one waits its turn.
  if (!hasTable(q, "SENDLOCK")) {
    run(q, " CREATE TABLE SENDLOCK (ID INTEGER NOT NULL, RUNID VARCHAR(40), CONSTRAINT PK_SENDLOCK PRIMARY KEY (ID))");
    run(q, " INSERT INTO SENDLOCK (ID) VALUES (1)");
  }
  // The readers' consent records; the readers already stored have none.
  if (!hasTable(q, "CONSENTS")) {
    run(q,
        " CREATE TABLE CONSENTS (READERID CHAR(5) NOT NULL, MAILADDRESS CHAR(50), SOURCE SMALLINT NOT NULL,"
        " GIVEN CHAR(14) NOT NULL, DETAIL VARCHAR(400), SEQ INTEGER NOT NULL)");
    run(q, " CREATE INDEX IX_CONSENTS_READERID ON CONSENTS (READERID)");
  }
  if (!hasSequence(q, "CONSENTS_SEQ")) run(q, " CREATE SEQUENCE CONSENTS_SEQ");
}
