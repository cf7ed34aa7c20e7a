// Opens QUORMAIL.GDB in the given folder the way the program does, writes one reader
// and reads it back. Exit 0 and "ok" on success; the client's error text otherwise.
// Used to show that an ordinary user, not only root, can work with the database.
// With "sendlock" after the folder it tries the send lock instead: "free" when it could
// take it (and let go of it again), "busy" when another run holds it.
#include <iostream>
#include <string>

#include "core/AppContext.h"
#include "core/ReaderStore.h"
#include "core/SendGuard.h"

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 3 && std::string(argv[2]) == "sendlock")) return 2;
  try {
    AppContext ctx(argv[1]);
    if (argc == 3) {
      std::cout << (SendGuard::acquire(ctx.databaseName()) ? "free" : "busy") << std::endl;
      return 0;
    }
    ctx.openDatabase();
    Reader r;
    r.id = 1;
    r.address = "probe@example.com";
    ReaderStore store(ctx.query);
    store.insert(r);
    if (store.maxId() != 1) return 1;
    std::cout << "ok" << std::endl;
    return 0;
  } catch (const std::exception& e) {
    std::cout << e.what() << std::endl;
    return 1;
  }
}
