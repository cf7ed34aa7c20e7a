#include "settings/SettingsDialogs.h"

#include <QLabel>
#include <memory>

#include "controls/NavigatingEdit.h"
#include "core/AppContext.h"
#include "core/Sjis.h"
#include "settings/PasswordPrompt.h"

std::optional<std::string> askPassword(AppContext& ctx, PasswordFor which) {
  auto* dialog = dynamic_cast<PasswordPrompt*>(ctx.window(WindowId::Password));
  std::unique_ptr<PasswordPrompt> own;
  if (!dialog) {  // windows not created (a window tested alone)
    own = std::make_unique<PasswordPrompt>();
    dialog = own.get();
  }
  const QString prompt = which == PasswordFor::Ftp    ? QStringLiteral("FTPのパスワードを入力して下さい。")
                         : which == PasswordFor::Pop3 ? QStringLiteral("POP3のパスワードを入力して下さい。")
                                                      : QStringLiteral("SMTPのパスワードを入力して下さい。");
  for (;;) {
    dialog->passwordEdit->clear();
    dialog->promptLabel->setText(prompt);
    dialog->passwordEdit->setFocus();
    const int result = dialog->exec();
    std::string password = Sjis::fromQ(dialog->passwordEdit->text());
    dialog->passwordEdit->clear();  // no typed password stays in the prompt
    if (result != PasswordPrompt::kConfirmed) return std::nullopt;
    if (askSavedOrTypedPassword(password)) return password;
  }
}

int openSettingsWindow(AppContext& ctx, SettingsWindow::Page page) {
  QDialog* w = ctx.window(WindowId::Settings);
  if (auto* settings = qobject_cast<SettingsWindow*>(w)) return settings->openModal(page);
  return w ? w->exec() : 0;
}
