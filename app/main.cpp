#include <QApplication>
#include <QDialog>

#include <filesystem>
#include <iostream>

#include "app/CommandLine.h"
#include "app/UnattendedRun.h"
#include "app/Windows.h"
#include "core/AppContext.h"
#include "core/Dialogs.h"
#include "core/Application.h"
#include "core/DataFolder.h"
#include "core/Sjis.h"
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
    case CommandLine::Action::Receive:
    case CommandLine::Action::Send:
    case CommandLine::Action::ReceiveAndSend: {
      // No display and no Qt application: the program's folder from the system.
      std::error_code ec;
      const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
      return runUnattended(static_cast<int>(command.action), command.dryRun, self.parent_path());
    }
    default:
      break;
  }
  Application app(argc, argv);
  QApplication::setApplicationName(appTitle());

  // A portable folder keeps everything beside the program; otherwise the data folder
  // is made on the first start, with an empty database in it.
  const std::filesystem::path programDir = QCoreApplication::applicationDirPath().toStdString();
  const std::filesystem::path dataDir = chooseDataFolder(programDir);
  AppContext ctx(dataDir);
  if (dataDir != programDir) {
    try {
      std::filesystem::create_directories(dataDir);
      if (ctx.createMissingDatabase())
        showMessage(QStringLiteral("データベースを作成しました。") + "\r" + Sjis::toQ(Sjis::fromPath(dataDir / "QUORMAIL.GDB")));
    } catch (const std::exception& e) {
      showError(QStringLiteral("データベースを作成できませんでした。") + "\r" + Sjis::toQ(e.what()));
    }
  }
  MainMenu menu(ctx);
  menu.openDatabase();
  auto windows = createWindows(ctx);

  menu.show();
  return app.exec();
}
