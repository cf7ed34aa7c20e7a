// Opens QUORMAIL.GDB in the given folder the way the program does, writes one reader
// and reads it back. Exit 0 and "ok" on success; the client's error text otherwise.
// Used to show that an ordinary user, not only root, can work with the database.
#include <iostream>

#include "core/AppContext.h"
#include "core/ReaderStore.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  try {
    AppContext ctx(argv[1]);
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
