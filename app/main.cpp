#include <QApplication>
#include <QDialog>
#include <QTranslator>

#include <filesystem>
#include <iostream>
#include <optional>

#include "app/CommandLine.h"
#include "app/UnattendedRun.h"
#include "app/Windows.h"
#include "core/AppContext.h"
#include "core/Dialogs.h"
#include "core/Application.h"
#include "core/DataFolder.h"
#include "core/InstanceLock.h"
#include "core/ShutdownOnSignal.h"
#include "core/Sjis.h"
#include "core/MainMenu.h"
#include "settings/SettingsFiles.h"

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
    case CommandLine::Action::ReceiveAndSend:
    case CommandLine::Action::History:
    case CommandLine::Action::Bounces: {
      // No display and no Qt application: the program's folder from the system.
      std::error_code ec;
      const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
      return runUnattended(static_cast<int>(command.action), command.dryRun, self.parent_path(), command.reader,
                           command.since);
    }
    default:
      break;
  }
  Application app(argc, argv);
  QApplication::setApplicationName(appTitle());
  // Question boxes read はい / いいえ and the file dialogs are Japanese.
  const auto japanese = installQtJapanese();

  // A kill, Ctrl+C or a logout stops a run as "中 断" does, then closes the database.
  AppContext* context = nullptr;
  ShutdownOnSignal shutdown([&context] {
    if (context) {
      context->query.close();
      context->database.close();
    }
    QCoreApplication::exit(0);
  });

  // A portable folder keeps everything beside the program; otherwise the data folder
  // is made on the first start, with an empty database in it.
  const std::filesystem::path programDir = QCoreApplication::applicationDirPath().toStdString();
  const std::filesystem::path dataDir = chooseDataFolder(programDir);

  // One window program per data folder; unattended commands run beside it.
  std::optional<InstanceLock> windowLock;
  if (command.action == CommandLine::Action::Windows) {
    std::error_code ec;
    std::filesystem::create_directories(dataDir, ec);
    windowLock.emplace(dataDir / "QuorMail.lock");
    if (windowLock->heldElsewhere()) {
      const QString text = QStringLiteral("QuorMailは既に起動しています。");
      std::cerr << text.toStdString() << std::endl;
      showError(text);
      return 0;
    }
  }

  AppContext ctx(dataDir);
  context = &ctx;
  const std::string zoneProblem = applyTimeZone(SettingsPaths::of(ctx));
  if (!zoneProblem.empty()) showError(Sjis::toQ(zoneProblem));
  // A failed creation is told once, with the opening's guidance.
  std::string creationFailure;
  if (dataDir != programDir) {
    try {
      std::filesystem::create_directories(dataDir);
      if (ctx.createMissingDatabase())
        showMessage(QStringLiteral("データベースを作成しました。") + "\r" + Sjis::toQ(Sjis::fromPath(dataDir / "QUORMAIL.GDB")));
    } catch (const std::exception& e) {
      creationFailure = Sjis::fromUtf8("データベースを作成できませんでした。") + " " + e.what();
    }
  }
  MainMenu menu(ctx);
  connectMenu(menu, ctx);
  menu.openDatabase(creationFailure);
  // The database engine puts its own handlers in place when it starts; ours go back over them.
  shutdown.reinstall();
  auto windows = createWindows(ctx);

  menu.show();
  // A signal during a start-up box has ended the program already.
  if (shutdown.done()) return 0;
  return app.exec();
}
