#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "app/Windows.h"
#include "core/MainMenu.h"
#include "settings/SettingsWindow.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestProgram.h"

namespace {

// Every menu button opens its real window, which initialises and is left with F12; the
// menu comes back each time.
TEST(WindowsSmoke, EveryMenuButtonOpensItsWindowAndReturns) {
  TestProgram program;
  ScriptedDialogs boxes;
  TestProgram::writeFile(program.file("QuorMail.env"),
                         "[FTP]\r\nFTP_HOST_ADR=127.0.0.1\r\nFTP_USER=u\r\nFTP_HOST_PATH=/cgi\r\nFTP_LOCAL_PATH=" +
                             program.dir().string() + "\r\n[Mail]\r\nPasSave=2\r\n");
  MainMenu menu(program.ctx());
  connectMenu(menu, program.ctx());
  auto windows = createWindows(program.ctx());
  menu.show();
  std::vector<QString> opened;
  QTimer closer;
  closer.setInterval(30);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (QWidget* w = QApplication::activeModalWidget()) {
      const bool seen = !opened.empty() && opened.back() == w->windowTitle();
      if (!seen) {
        opened.push_back(w->windowTitle());
        // F12 is the end key of the windows that have one (some have no close box) ...
        QWidget* target = w->focusWidget() ? w->focusWidget() : w;
        QKeyEvent f12(QEvent::KeyPress, Qt::Key_F12, Qt::NoModifier);
        QApplication::sendEvent(target, &f12);
      } else {
        w->close();  // ... the others are left by their close box
      }
    }
  });
  closer.start();
  for (QPushButton* b : {menu.receiveButton, menu.sendButton, menu.settingsButton, menu.storyButton, menu.readersButton, menu.registrationFormButton,
                         menu.csvImportButton}) {
    b->click();
    EXPECT_TRUE(menu.isVisible()) << b->text().toStdString();
  }
  EXPECT_EQ(opened.size(), 7u);
}

// Receiving without FTP names what is missing and offers the settings' FTP page.
TEST(WindowsSmoke, ReceivingWithoutFtpNamesTheMissingFieldsAndOffersTheFtpPage) {
  TestProgram program;
  ScriptedDialogs boxes;
  TestProgram::writeFile(program.file("QuorMail.env"), "[FTP]\r\nFTP_USER=u\r\n");
  auto windows = createWindows(program.ctx());
  int openedPage = -1;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto* w = qobject_cast<SettingsWindow*>(QApplication::activeModalWidget()))
      openedPage = w->pages->currentIndex(), w->reject();
  });
  closer.start(30);
  openMenuTask(program.ctx(), MainMenu::Task::receiveThenSend);
  EXPECT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.lastText(), QString::fromUtf8("読者情報の受信には、FTPの設定が必要です。\n未設定: ホスト名（アドレス）、"
                                                "ホストのフォルダ、ローカルフォルダ\n\n「FTP、Mail 設定」のFTPの設定を開きますか？"));
  EXPECT_EQ(openedPage, 0);
}

}  // namespace
