#include <QApplication>
#include <QDialog>

#include "app/Windows.h"
#include "core/AppContext.h"
#include "core/Dialogs.h"
#include "core/Application.h"
#include "core/MainMenu.h"

int main(int argc, char* argv[]) {
  Application app(argc, argv);
  QApplication::setApplicationName(appTitle());

  AppContext ctx(QCoreApplication::applicationDirPath().toStdString());
  MainMenu menu(ctx);
  menu.openDatabase();
  auto windows = createWindows(ctx);

  menu.show();
  return app.exec();
}
