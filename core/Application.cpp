#include "core/Application.h"

#include <QLibraryInfo>
#include <QTranslator>
#include <exception>

#include "core/Dialogs.h"
#include "core/Sjis.h"

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
  return deliverShowingErrors([&] { return QApplication::notify(receiver, event); });
}

bool deliverShowingErrors(const std::function<bool()>& deliver) {
  try {
    return deliver();
  } catch (const std::exception& e) {
    // Error texts of the database client and the protocol clients are CP932 bytes.
    showError(Sjis::toQ(e.what()));
  } catch (...) {
    showError(QStringLiteral("Unknown error"));
  }
  return false;
}

std::unique_ptr<QTranslator> installQtJapanese() {
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return nullptr;
  QCoreApplication::installTranslator(translator.get());
  return translator;
}
