#pragma once
#include <QApplication>
#include <functional>

// The application object: an error that no window handles itself ends up in the
// standard error box under the application title, and the program goes on.
class Application : public QApplication {
 public:
  Application(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// Runs one event delivery; an error escaping it is shown in the error box (false).
bool deliverShowingErrors(const std::function<bool()>& deliver);
