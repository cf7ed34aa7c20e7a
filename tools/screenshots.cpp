// Renders the main menu (with its status line), the send window, the reader window and
// the story window, filled with sample data, into PNG files for the README:
//   cmake --build build --target screenshots && build/screenshots docs
// It makes its own database in a temporary folder, so it works right after ./start.sh.
#include <QApplication>
#include <QDialog>
#include <QPixmap>
#include <filesystem>

#include "app/Windows.h"
#include "core/AppContext.h"
#include "core/MainMenu.h"
#include "core/Sjis.h"
#include "core/ConsentStore.h"
#include "core/ReaderStore.h"
#include "core/StoryStore.h"
#include "core/TextUtil.h"
#include "controls/NavigatingEdit.h"
#include "maintenance/ReaderWindow.h"
#include "maintenance/StoryWindow.h"
#include "sending/SendWindow.h"
#include "settings/SettingsWindow.h"
#include <QTabWidget>
#include "core/WindowBase.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::string out = argc > 1 ? argv[1] : ".";
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "quormail-screenshots";
  fs::remove_all(dir);
  fs::create_directories(dir);

  AppContext ctx(dir);
  ctx.createMissingDatabase();
  MainMenu menu(ctx);
  connectMenu(menu, ctx);
  menu.openDatabase();
  auto windows = createWindows(ctx);
  StoryStore storyStore(ctx.query);
  storyStore.save(Story{1, Sjis::fromUtf8("ようこそ"), Sjis::fromUtf8("##readername##様")});
  storyStore.save(Story{2, Sjis::fromUtf8("第2話"), Sjis::fromUtf8("本文")});
  const char* names[] = {"山田 太郎", "佐藤 花子", "鈴木 一郎", "高橋 美咲", "田中 健"};
  ReaderStore readerStore(ctx.query);
  for (int i = 0; i < 5; ++i) {
    Reader r;
    r.id = i + 1;
    r.address = "reader" + std::to_string(i + 1) + "@example.com";
    r.registered = DateStamp(20241201, 101500);
    r.name = Sjis::fromUtf8(names[i]);
    r.status = SendStatus::sendable;
    r.nextStory = i == 4 ? 2 : 1;
    readerStore.save(r);
    ConsentStore(ctx.query).add({r.id, r.address, ConsentSource::webForm, r.registered, "https://example.jp/regist_kny.cgi"});
  }

  menu.show();
  QApplication::processEvents();
  menu.grab().save(QString::fromStdString(out + "/main-menu.png"));

  auto* send = static_cast<SendWindow*>(ctx.window(WindowId::Send));
  send->prepare(SendWindow::Mode::sendOnly);
  send->show();
  QApplication::processEvents();
  QApplication::processEvents();
  send->grab().save(QString::fromStdString(out + "/send-window.png"));
  send->hide();

  // The reader window showing a stored reader, the story window editing the first mail.
  auto* readers = static_cast<ReaderWindow*>(ctx.window(WindowId::Readers));
  readers->prepare();
  readers->show();
  QApplication::processEvents();
  readers->showNext();
  QApplication::processEvents();
  readers->grab().save(QString::fromStdString(out + "/reader-window.png"));
  readers->hide();

  auto* stories = static_cast<StoryWindow*>(ctx.window(WindowId::Story));
  stories->prepare();
  stories->show();
  QApplication::processEvents();
  stories->numberEdit->setText(QStringLiteral("1"));
  stories->numberEntered();
  QApplication::processEvents();
  stories->grab().save(QString::fromStdString(out + "/story-window.png"));
  stories->hide();

  // The settings window's pages, the provider's pace last.
  SettingsWindow settings(ctx);
  settings.prepare(SettingsWindow::Page::mail);
  settings.show();
  QApplication::processEvents();
  for (int page = 0; page < settings.pages->count(); ++page) {
    settings.pages->setCurrentIndex(page);
    QApplication::processEvents();
    settings.grab().save(QString::fromStdString(out + "/settings-" + std::to_string(page) + ".png"));
  }
  settings.hide();

  // With a second argument "all", every other window too, for a look at the layouts.
  if (argc > 2 && std::string(argv[2]) == "all") {
    for (int i = 0; i < static_cast<int>(WindowId::Count); ++i) {
      QDialog* w = ctx.window(static_cast<WindowId>(i));
      if (auto* window = qobject_cast<WindowBase*>(w); window && i != static_cast<int>(WindowId::Send)) window->prepare();
      w->show();
      QApplication::processEvents();
      QApplication::processEvents();
      w->grab().save(QString::fromStdString(out + "/window-" + std::to_string(i) + ".png"));
      w->hide();
    }
  }
  return 0;
}
