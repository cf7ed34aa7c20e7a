#include "app/Windows.h"

#include <QString>

#include "core/AppContext.h"
#include "core/FormBase.h"
#include "settings/PasForm.h"
#include "settings/QuorMail001m.h"

namespace {

// A working window that has no content yet: it opens and closes with its caption.
std::unique_ptr<QDialog> emptyWindow(AppContext& ctx, const QString& caption) {
  auto w = std::make_unique<FormBase>(ctx);
  w->setWindowTitle(caption);
  w->resize(640, 480);
  return w;
}

}  // namespace

std::vector<std::unique_ptr<QDialog>> createWindows(AppContext& ctx) {
  std::vector<std::unique_ptr<QDialog>> windows;
  auto add = [&](WindowId id, std::unique_ptr<QDialog> w) {
    ctx.setWindow(id, w.get());
    windows.push_back(std::move(w));
  };
  add(WindowId::EnvSet, std::make_unique<TFormEnvSet>(ctx));
  add(WindowId::FtpRcv, emptyWindow(ctx, QStringLiteral("クオル　読者情報受信")));
  add(WindowId::Password, std::make_unique<TForm2>());
  add(WindowId::StorySearch, emptyWindow(ctx, QStringLiteral("クオル　ストーリ検索")));
  add(WindowId::UserMnt, emptyWindow(ctx, QStringLiteral("クオル 読者マスターメンテナンス")));
  add(WindowId::UserSearch, emptyWindow(ctx, QStringLiteral("クオル 読者マスターメンテナンス 検索")));
  add(WindowId::Send, emptyWindow(ctx, QStringLiteral("クオル メール送信")));
  add(WindowId::Story, emptyWindow(ctx, QStringLiteral("クオル　ストーリーメンテナンス")));
  add(WindowId::Html, emptyWindow(ctx, QStringLiteral("クオル　読者登録フォーム出力")));
  add(WindowId::Csv, emptyWindow(ctx, QStringLiteral("クオル　ＣＳＶファイルから読者情報を登録")));
  return windows;
}
