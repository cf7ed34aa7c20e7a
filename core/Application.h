#pragma once
#include <QApplication>
#include <functional>
#include <memory>

class QTranslator;

// The application object: an error that no window handles itself ends up in the
// standard error box under the application title, and the program goes on.
class Application : public QApplication {
 public:
  Application(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// Runs one event delivery; an error escaping it is shown in the error box (false).
bool deliverShowingErrors(const std::function<bool()>& deliver);

// Loads Qt's own Japanese texts (standard buttons, file and folder dialogs) from Qt's
// translations folder into the application; nullptr when the file is not installed.
// Destroying the translator takes the texts out again.
std::unique_ptr<QTranslator> installQtJapanese();
