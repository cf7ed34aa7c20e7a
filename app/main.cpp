#include <QApplication>
#include <QDialog>

#include "app/Windows.h"
#include "core/AppContext.h"
#include "core/Dialogs.h"
#include "core/QuorApplication.h"
#include "core/Quormailm.h"

int main(int argc, char* argv[]) {
  QuorApplication app(argc, argv);
  QApplication::setApplicationName(appTitle());

  AppContext ctx(QCoreApplication::applicationDirPath().toStdString());
  TForm1 mainForm(ctx);
  mainForm.FormCreate();
  auto windows = createWindows(ctx);

  mainForm.show();
  return app.exec();
}
