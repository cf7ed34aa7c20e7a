#include "settings/SettingsDialogs.h"

#include <QLabel>
#include <memory>

#include "controls/CBEditEx.h"
#include "core/AppContext.h"
#include "core/Sjis.h"
#include "settings/PasForm.h"

std::optional<std::string> askPassword(AppContext& ctx, PasswordFor which) {
  auto* form = dynamic_cast<TForm2*>(ctx.window(WindowId::Password));
  std::unique_ptr<TForm2> own;
  if (!form) {  // windows not created (a window tested alone)
    own = std::make_unique<TForm2>();
    form = own.get();
  }
  const QString prompt = which == PasswordFor::Ftp ? QStringLiteral("FTPのパスワードを入力して下さい。")
                                                   : QStringLiteral("POP3のパスワードを入力して下さい。");
  for (;;) {
    form->EPas->clear();
    form->Ltitle->setText(prompt);
    form->EPas->setFocus();
    const int result = form->exec();
    std::string password = Sjis::fromQ(form->EPas->text());
    form->EPas->clear();  // no typed password stays in the prompt
    if (result != TForm2::mrYes) return std::nullopt;
    if (Pas_Chk(password)) return password;
  }
}

int openSettingsWindow(AppContext& ctx, int page) {
  ctx.Env_Init_Flg = 1;
  ctx.Env_Page_No = page;
  QDialog* w = ctx.window(WindowId::EnvSet);
  return w ? w->exec() : 0;
}
