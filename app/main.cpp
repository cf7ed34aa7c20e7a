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
  MainMenu mainForm(ctx);
  mainForm.FormCreate();
  auto windows = createWindows(ctx);

  mainForm.show();
  return app.exec();
}
