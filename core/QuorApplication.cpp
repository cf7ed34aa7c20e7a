#include "core/QuorApplication.h"

#include <exception>

#include "core/Dialogs.h"
#include "core/Sjis.h"

QuorApplication::QuorApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool QuorApplication::notify(QObject* receiver, QEvent* event) {
  return deliverShowingErrors([&] { return QApplication::notify(receiver, event); });
}

bool deliverShowingErrors(const std::function<bool()>& deliver) {
  try {
    return deliver();
  } catch (const std::exception& e) {
    // Error texts of the database client and the protocol clients are CP932 bytes.
    ShowError(Sjis::toQ(e.what()));
  } catch (...) {
    ShowError(QStringLiteral("Unknown error"));
  }
  return false;
}
