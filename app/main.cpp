#include <QApplication>
#include <QDialog>

#include <iostream>

#include "app/CommandLine.h"
#include "app/Windows.h"
#include "core/AppContext.h"
#include "core/Dialogs.h"
#include "core/Application.h"
#include "core/MainMenu.h"

int main(int argc, char* argv[]) {
  // Help, version and usage errors need neither a display nor the database.
  const CommandLine command = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
  switch (command.action) {
    case CommandLine::Action::Help:
      CommandLine::printHelp(std::cout);
      return 0;
    case CommandLine::Action::Version:
      CommandLine::printVersion(std::cout);
      return 0;
    case CommandLine::Action::UsageError:
      std::cerr << command.error << "\n";
      CommandLine::printHelp(std::cerr);
      return 2;
    default:
      break;
  }
  Application app(argc, argv);
  QApplication::setApplicationName(appTitle());

  AppContext ctx(QCoreApplication::applicationDirPath().toStdString());
  MainMenu mainForm(ctx);
  mainForm.FormCreate();
  auto windows = createWindows(ctx);

  mainForm.show();
  return app.exec();
}
