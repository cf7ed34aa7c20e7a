#pragma once
#include <string>

#include "tests/support/TestProgram.h"

// Makes the database refuse one kind of write on a table with the message
// "refused by test", so a window's failure path runs against the real engine.
inline void refuseWrites(TestProgram& p, const std::string& table, const std::string& event) {
  p.exec("CREATE EXCEPTION E_REFUSED_" + event + " 'refused by test'");
  p.exec("CREATE TRIGGER T_REFUSE_" + event + " FOR " + table + " BEFORE " + event + " AS BEGIN EXCEPTION E_REFUSED_" +
         event + "; END");
}
