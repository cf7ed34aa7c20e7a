#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>

#include "app/Windows.h"
#include "controls/NavigatingEdit.h"
#include "core/MainMenu.h"
#include "core/StoryStore.h"
#include "core/ReaderStore.h"
#include "maintenance/ReaderWindow.h"
#include "maintenance/StoryWindow.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestProgram.h"

namespace {

struct MainMenuTest : ::testing::Test {
  TestProgram program;
  ScriptedDialogs boxes;
  std::vector<MainMenu::Task> opened;
  bool menuVisibleWhileOpen = true;
  std::unique_ptr<MainMenu> form;

  void SetUp() override {
    form = std::make_unique<MainMenu>(program.ctx());
    form->openTask = [this](MainMenu::Task task) {
      menuVisibleWhileOpen = form->isVisible();
      opened.push_back(task);
    };
    form->show();
  }
};

// Read from the top, the buttons follow the day's work: receive, send, both, the
// settings, the two maintenance windows, the form, the CSV import, and the end last;
// each shows its caption whole.
TEST_F(MainMenuTest, ButtonsFromTheTopFollowTheWorkAndShowTheirCaptionsWhole) {
  EXPECT_EQ(form->windowTitle(), QStringLiteral("クオル Ver1.5"));
  QList<QPushButton*> buttons = form->findChildren<QPushButton*>();
  std::sort(buttons.begin(), buttons.end(), [](QPushButton* a, QPushButton* b) { return a->y() < b->y(); });
  ASSERT_EQ(buttons.size(), 9);
  using Task = MainMenu::Task;
  const Task tasks[] = {Task::receive, Task::send,    Task::receiveThenSend,  Task::settings,
                        Task::stories, Task::readers, Task::registrationForm, Task::csvImport};
  for (int i = 0; i < 9; ++i) {
    SCOPED_TRACE(buttons[i]->text().toStdString());
    EXPECT_LT(buttons[i]->fontMetrics().horizontalAdvance(buttons[i]->text()), buttons[i]->width());
    buttons[i]->click();
    if (i < 8) EXPECT_EQ(opened.back(), tasks[i]);
  }
  EXPECT_EQ(opened.size(), 8u);
  EXPECT_FALSE(form->isVisible());  // the last one ends the program
}

TEST_F(MainMenuTest, EachButtonOpensItsTaskAndHidesTheMenuWhileTheWindowIsOpen) {
  using Task = MainMenu::Task;
  const std::pair<QPushButton*, Task> buttons[] = {
      {form->receiveButton, Task::receive},       {form->sendButton, Task::send},
      {form->receiveThenSendButton, Task::receiveThenSend}, {form->settingsButton, Task::settings},
      {form->storyButton, Task::stories},         {form->readersButton, Task::readers},
      {form->registrationFormButton, Task::registrationForm}, {form->csvImportButton, Task::csvImport}};
  for (const auto& [button, task] : buttons) {
    menuVisibleWhileOpen = true;
    button->click();
    ASSERT_FALSE(opened.empty());
    EXPECT_EQ(opened.back(), task) << button->text().toStdString();
    EXPECT_FALSE(menuVisibleWhileOpen) << button->text().toStdString();
    EXPECT_TRUE(form->isVisible());
  }
  EXPECT_EQ(opened.size(), 8u);
}

TEST_F(MainMenuTest, EndButtonClosesTheProgram) {
  form->endButton->click();
  EXPECT_FALSE(form->isVisible());
}

TEST_F(MainMenuTest, StatusLineGuidesTheFirstStartAndFollowsTheData) {
  form->incompleteSettingsPages = [this] { return incompleteSettingsPages(program.ctx()); };
  form->dueReaderCount = [this] { return dueReaderCount(program.ctx()); };
  form->hide();
  form->show();
  EXPECT_EQ(form->statusLine->text(), QStringLiteral("設定: 未完了（メール設定）\n"
                                                     "ストーリー 0通　読者 0名　送信対象 0名\n"
                                                     "→「FTP、Mail 設定」で入力してください。"));

  // Each page counts as set up once the values the runs need are there.
  TestProgram::writeFile(program.file("QuorMail.env"),
                         "[FTP]\r\nFTP_HOST_ADR=ftp.example.com\r\nFTP_USER=u\r\nFTP_HOST_PATH=/cgi\r\n"
                         "FTP_LOCAL_PATH=/tmp\r\n[Mail]\r\nSmtp= \r\nMailAdress=me@example.com\r\n");
  form->refreshStatus();
  EXPECT_TRUE(form->statusLine->text().startsWith(QStringLiteral("設定: 未完了（メール設定）\n")));
  TestProgram::writeFile(program.file("QuorMail.env"),
                         "[FTP]\r\nFTP_HOST_ADR=ftp.example.com\r\nFTP_USER=u\r\nFTP_HOST_PATH=/cgi\r\n"
                         "[Mail]\r\nSmtp=smtp.example.com\r\nMailAdress=me@example.com\r\n");
  form->refreshStatus();
  EXPECT_TRUE(form->statusLine->text().startsWith(QStringLiteral("設定: 未完了（FTPの設定）\n")));
  TestProgram::writeFile(program.file("QuorMail.env"),
                         "[FTP]\r\nFTP_HOST_ADR=ftp.example.com\r\nFTP_USER=u\r\nFTP_HOST_PATH=/cgi\r\n"
                         "FTP_LOCAL_PATH=/tmp\r\n[Mail]\r\nSmtp=smtp.example.com\r\nMailAdress=me@example.com\r\n");
  form->refreshStatus();
  EXPECT_EQ(form->statusLine->text(), QStringLiteral("設定: 完了\n"
                                                     "ストーリー 0通　読者 0名　送信対象 0名\n"
                                                     "→「ストーリーメンテナンス」で最初のメールを登録してください。"));

  // The line is read again whenever the menu comes back.
  form->openTask = [this](MainMenu::Task) {
    StoryStore(program.sql()).save(Story{1, "a", "b"});
    StoryStore(program.sql()).save(Story{2, "a", "b"});
  };
  form->storyButton->click();
  EXPECT_TRUE(form->statusLine->text().endsWith(QStringLiteral("→「読者マスターメンテナンス」か「読者情報受信」で読者を登録してください。")))
      << form->statusLine->text().toStdString();

  // Due now: sendable and the next story exists.
  auto reader = [&](int id, SendStatus status, int next) {
    Reader r;
    r.id = id;
    r.address = "r@example.com";
    r.registered = DateStamp(20240101, 0);
    r.name = "r";
    r.status = status;
    r.nextStory = next;
    ReaderStore(program.sql()).insert(r);
  };
  reader(1, SendStatus::sendable, 1);
  reader(2, SendStatus::sendable, 2);
  reader(3, SendStatus::sendable, 3);  // every story sent
  reader(4, SendStatus::stopped, 1);   // not to be sent
  form->hide();
  form->show();
  EXPECT_EQ(form->statusLine->text(), QStringLiteral("設定: 完了\n"
                                                     "ストーリー 2通　読者 4名　送信対象 2名\n"
                                                     "→「メール送信のみ」で送信できます。"));
}

TEST_F(MainMenuTest, OpensCentredAndEnterPressesTheFocusedButton) {
  const QRect screen = form->screen()->availableGeometry();
  // Within the width of a window frame of the middle.
  EXPECT_LE((form->geometry().center() - screen.center()).manhattanLength(), 16);
  form->readersButton->setFocus();
  QTest::keyClick(form->readersButton, Qt::Key_Return);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened.back(), MainMenu::Task::readers);
  form->storyButton->setFocus();
  QTest::keyClick(form->storyButton, Qt::Key_Enter);
  EXPECT_EQ(opened.back(), MainMenu::Task::stories);
}

TEST(StartUp, CreatesTheTenWindowsWithTheirCaptions) {
  TestProgram program;
  auto windows = createWindows(program.ctx());
  ASSERT_EQ(windows.size(), 10u);
  const char* captions[] = {"FTP、Mail 設定", "クオル　読者情報受信", "クオル", "クオル　ストーリ検索",
                            "クオル 読者マスターメンテナンス", "クオル 読者マスターメンテナンス 検索",
                            "クオル メール送信", "クオル　ストーリーメンテナンス",
                            "クオル　読者登録フォーム出力", "クオル　ＣＳＶファイルから読者情報を登録"};
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(program.ctx().window(static_cast<WindowId>(i)), windows[static_cast<size_t>(i)].get());
    EXPECT_EQ(windows[static_cast<size_t>(i)]->windowTitle(), QString::fromUtf8(captions[i]));
    EXPECT_FALSE(windows[static_cast<size_t>(i)]->isVisible());
  }
}

TEST(StartUp, MissingDatabaseIsExplainedOnceAndTheWindowsSayItBriefly) {
  TestProgram program(false);
  ScriptedDialogs boxes;
  MainMenu form(program.ctx());
  form.openDatabase();
  const QString path = QString::fromStdString((program.dir() / "QUORMAIL.GDB").string());
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].title, QStringLiteral("クオル"));
  EXPECT_EQ(boxes.shown()[0].icon, MsgIcon::Error);
  const QString guide = boxes.shown()[0].text;
  EXPECT_TRUE(guide.startsWith(QStringLiteral("データベースを開けません: ") + path + "\r")) << guide.toStdString();
  // What to do: the data folder, the program's own creation, a copied database, the setting.
  for (const QString& part : {QString::fromStdString(program.dir().string()), QStringLiteral("初回起動時"),
                              QStringLiteral("db/create-db.sh"), QStringLiteral("[Database]"), QStringLiteral("（詳細: ")})
    EXPECT_TRUE(guide.contains(part)) << part.toStdString();
  form.show();
  EXPECT_TRUE(form.isVisible());

  // Each window then says in one line that there is no database, not the engine's text.
  StoryWindow stories(program.ctx());
  stories.prepare();
  stories.activate();
  ReaderWindow readers(program.ctx());
  readers.idEdit->setText(QStringLiteral("1"));
  QTest::keyClick(readers.idEdit, Qt::Key_Return);
  ASSERT_EQ(boxes.shown().size(), 3u);
  EXPECT_EQ(boxes.shown()[1].text, QStringLiteral("データベースを開けません: ") + path);
  EXPECT_EQ(boxes.shown()[2].text, QStringLiteral("データベースを開けません: ") + path);

  // Once the database is there, the next statement opens it.
  std::filesystem::copy_file(QUORMAIL_TEMPLATE_DB, program.dir() / "QUORMAIL.GDB");
  stories.prepare();
  stories.activate();
  EXPECT_EQ(boxes.shown().size(), 3u);
  EXPECT_EQ(stories.countLabel->text(), QStringLiteral("登録数 0"));
}

TEST(StartUp, AnUnusableDatabaseFileIsToldApartFromAMissingOne) {
  TestProgram program(false);
  TestProgram::writeFile(program.file("QUORMAIL.GDB"), "not a database");
  ScriptedDialogs boxes;
  MainMenu form(program.ctx());
  form.openDatabase();
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_TRUE(boxes.lastText().contains(QStringLiteral("ファイルはありますが使えません"))) << boxes.lastText().toStdString();
  EXPECT_FALSE(boxes.lastText().contains(QStringLiteral("db/create-db.sh")));
}

TEST(StartUp, ExistingDatabaseOpensWithoutAnyBox) {
  TestProgram program(true, false);
  ScriptedDialogs boxes;
  MainMenu form(program.ctx());
  form.openDatabase();
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_TRUE(program.ctx().database.connected());
  EXPECT_EQ(program.ctx().database.param("ServerCharSet"), "SJIS_0208");
}

}  // namespace

namespace {

TEST(StartUp, SettingsFileCanNameAnotherDatabase) {
  TestProgram program(false);
  EXPECT_EQ(program.ctx().databaseName(), (program.dir() / "QUORMAIL.GDB").string());
  // A name that is passed on unchanged, as a server name would be.
  const std::filesystem::path elsewhere = program.dir() / "data" / "OTHER.GDB";
  std::filesystem::create_directories(elsewhere.parent_path());
  std::filesystem::copy_file(QUORMAIL_TEMPLATE_DB, elsewhere);
  TestProgram::writeFile(program.file("QuorMail.env"),
                         "[Mail]\r\nSmtp=x\r\n[Database]\r\nDatabase=" + elsewhere.string() + "\r\n");
  EXPECT_EQ(program.ctx().databaseName(), elsewhere.string());
  ScriptedDialogs boxes;
  MainMenu form(program.ctx());
  form.openDatabase();
  EXPECT_TRUE(boxes.shown().empty());
  program.exec(" DELETE FROM USERLIST");  // the named database answers

  TestProgram::writeFile(program.file("QuorMail.env"), "[Database]\r\nDatabase=127.0.0.1/1:/nowhere/X.GDB\r\n");
  MainMenu second(program.ctx());
  second.openDatabase();
  ASSERT_EQ(boxes.shown().size(), 1u);  // the server is tried, and its error shown
  EXPECT_TRUE(boxes.lastText().contains(QStringLiteral("[Database] の Database="))) << boxes.lastText().toStdString();
  EXPECT_EQ(program.ctx().database.param("Database"), "127.0.0.1/1:/nowhere/X.GDB");
}

}  // namespace
