#include "app/Windows.h"

#include <QString>

#include "core/AppContext.h"
#include "core/Dialogs.h"
#include "core/Sjis.h"
#include "intake/ReceiveCheck.h"
#include "intake/CsvImportWindow.h"
#include "intake/ReceiveWindow.h"
#include "intake/RegistrationFormWindow.h"
#include "maintenance/StoryWindow.h"
#include "sending/SendOptions.h"
#include "sending/SendRun.h"
#include "maintenance/StorySearchDialog.h"
#include "maintenance/ReaderWindow.h"
#include "maintenance/ReaderSearchDialog.h"
#include "sending/SendWindow.h"
#include "settings/PasswordPrompt.h"
#include "settings/SettingsDialogs.h"
#include "settings/SettingsFiles.h"
#include "settings/SettingsWindow.h"

std::vector<std::unique_ptr<QDialog>> createWindows(AppContext& ctx) {
  std::vector<std::unique_ptr<QDialog>> windows;
  auto add = [&](WindowId id, std::unique_ptr<QDialog> w) {
    ctx.setWindow(id, w.get());
    windows.push_back(std::move(w));
  };
  add(WindowId::Settings, std::make_unique<SettingsWindow>(ctx));
  add(WindowId::Receive, std::make_unique<ReceiveWindow>(ctx));
  add(WindowId::Password, std::make_unique<PasswordPrompt>());
  add(WindowId::StorySearch, std::make_unique<StorySearchDialog>(ctx));
  add(WindowId::Readers, std::make_unique<ReaderWindow>(ctx));
  add(WindowId::ReaderSearch, std::make_unique<ReaderSearchDialog>(ctx));
  add(WindowId::Send, std::make_unique<SendWindow>(ctx));
  add(WindowId::Story, std::make_unique<StoryWindow>(ctx));
  add(WindowId::RegistrationForm, std::make_unique<RegistrationFormWindow>(ctx));
  add(WindowId::CsvImport, std::make_unique<CsvImportWindow>(ctx));
  return windows;
}

namespace {

template <typename Window>
Window* windowOf(AppContext& ctx, WindowId id) {
  return qobject_cast<Window*>(ctx.window(id));
}

// Only receiving needs FTP: before a receive starts, the fields it lacks are named and
// the settings' FTP page is offered. An unreadable password file is left to the receive
// window, which shows the reason.
bool ftpReadyForReceive(AppContext& ctx) {
  std::vector<std::string> missing;
  try {
    missing = ReceiveCheck::missingItems(loadFtpSettings(SettingsPaths::of(ctx)));
  } catch (const std::exception&) {
    return true;
  }
  if (missing.empty()) return true;
  QStringList captions;
  for (const std::string& caption : missing) captions << Sjis::toQ(caption);
  if (askYesNo(QStringLiteral("読者情報の受信には、FTPの設定が必要です。\n未設定: ") + captions.join(QStringLiteral("、")) +
               QStringLiteral("\n\n「FTP、Mail 設定」のFTPの設定を開きますか？")))
    openSettingsWindow(ctx, SettingsWindow::Page::ftp);
  return false;
}

}  // namespace

void connectMenu(MainMenu& menu, AppContext& ctx) {
  menu.incompleteSettingsPages = [&ctx] { return incompleteSettingsPages(ctx); };
  menu.dueReaderCount = [&ctx] { return dueReaderCount(ctx); };
  menu.openTask = [&ctx](MainMenu::Task task) { openMenuTask(ctx, task); };
}

void openMenuTask(AppContext& ctx, MainMenu::Task task) {
  using Task = MainMenu::Task;
  switch (task) {
    case Task::receive:
      if (!ftpReadyForReceive(ctx)) break;
      if (auto* w = windowOf<ReceiveWindow>(ctx, WindowId::Receive)) w->openModal(ReceiveWindow::Mode::receiveOnly);
      break;
    case Task::send:
      if (auto* w = windowOf<SendWindow>(ctx, WindowId::Send)) w->openModal(SendWindow::Mode::sendOnly);
      break;
    case Task::receiveThenSend: {
      if (!ftpReadyForReceive(ctx)) break;
      int registered = 0;
      if (auto* w = windowOf<ReceiveWindow>(ctx, WindowId::Receive)) {
        w->openModal(ReceiveWindow::Mode::beforeSend);
        registered = w->registeredCount();
      }
      if (auto* w = windowOf<SendWindow>(ctx, WindowId::Send)) w->openModal(SendWindow::Mode::afterReceive, registered);
      break;
    }
    case Task::settings:
      if (auto* w = windowOf<SettingsWindow>(ctx, WindowId::Settings)) w->openModal(SettingsWindow::Page::ftp);
      break;
    case Task::stories:
      if (auto* w = windowOf<StoryWindow>(ctx, WindowId::Story)) w->openModal();
      break;
    case Task::readers:
      if (auto* w = windowOf<ReaderWindow>(ctx, WindowId::Readers)) w->openModal();
      break;
    case Task::registrationForm:
      if (auto* w = windowOf<RegistrationFormWindow>(ctx, WindowId::RegistrationForm)) w->openModal();
      break;
    case Task::csvImport:
      if (auto* w = windowOf<CsvImportWindow>(ctx, WindowId::CsvImport)) w->openModal();
      break;
  }
}

QStringList incompleteSettingsPages(const AppContext& ctx) {
  const SettingsPaths paths = SettingsPaths::of(ctx);
  const auto anyEmpty = [](std::initializer_list<const std::string*> values) {
    for (const std::string* v : values)
      if (v->empty()) return true;
    return false;
  };
  QStringList pages;
  try {
    // FTP is for web registrations alone: an empty page is complete, a half-filled one not.
    const FtpSettings ftp = loadFtpSettings(paths);
    const std::size_t missing = ReceiveCheck::missingItems(ftp).size();
    if (missing > 0 && missing < 4) pages << QStringLiteral("FTPの設定");
  } catch (const std::exception&) {
    pages << QStringLiteral("FTPの設定");  // an unreadable password file: the page needs a look
  }
  try {
    const MailSettings mail = loadMailSettings(paths);
    if (anyEmpty({&mail.smtpServer, &mail.senderAddress})) pages << QStringLiteral("メール設定");
  } catch (const std::exception&) {
    pages << QStringLiteral("メール設定");
  }
  return pages;
}

int dueReaderCount(AppContext& ctx) {
  return DueList::countDueNow(ctx.query, SendOptions::load(SettingsPaths::of(ctx)));
}
