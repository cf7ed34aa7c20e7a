// The send window as the operator meets it: the list it shows, the keys and buttons,
// the boxes of the start check, and a run on the worker thread that "中 断" and the
// close box can stop while the window keeps answering.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QRegularExpression>
#include <QTimer>
#include <deque>

#include "controls/NavigatingEdit.h"
#include "controls/StripedGrid.h"
#include "core/HistoryDialog.h"
#include "core/Clock.h"
#include "core/IniFile.h"
#include "core/ShutdownOnSignal.h"
#include "core/Sjis.h"
#include "core/StoryStore.h"
#include "core/ReaderStore.h"
#include "core/TextUtil.h"
#include "sending/MailPreview.h"
#include "sending/SendWindow.h"
#include "settings/SettingsWindow.h"
#include <QTabWidget>
#include "settings/PasswordPrompt.h"
#include "settings/SettingsFiles.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/Servers.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestProgram.h"

namespace {

QString q(const char* utf8) { return QString::fromUtf8(utf8); }

// The question before a run the operator started.
QString confirmation(int readers, const char* stories) {
  return QString::number(readers) + q("名の読者にメールを送信します。よろしいですか？\nストーリー番号: ") + q(stories);
}

// Answers every password prompt that shows, in turn: a typed password, or a cancel
// when the answer is empty. Writes down each prompt's text.
class PromptAnswers : public QObject {
 public:
  explicit PromptAnswers(std::vector<QString> answers) : m_answers(answers.begin(), answers.end()) {
    qApp->installEventFilter(this);
  }
  ~PromptAnswers() override { qApp->removeEventFilter(this); }
  std::vector<QString> prompts;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    auto* prompt = qobject_cast<PasswordPrompt*>(watched);
    if (prompt && e->type() == QEvent::Show) {
      prompts.push_back(prompt->promptLabel->text());
      const QString answer = m_answers.empty() ? QString() : m_answers.front();
      if (!m_answers.empty()) m_answers.pop_front();
      QTimer::singleShot(0, prompt, [prompt, answer] {
        if (answer.isEmpty()) {
          prompt->cancelButton->click();
          return;
        }
        prompt->passwordEdit->setText(answer);
        prompt->passwordKeyPressed(13);
      });
    }
    return false;
  }

 private:
  std::deque<QString> m_answers;
};

struct SendWindowTest : ::testing::Test {
  TestProgram program;
  ScriptedDialogs boxes;
  std::unique_ptr<SendWindow> window;

  void SetUp() override { Clock::setFixedStamp("20240507123456"); }
  void TearDown() override {
    window.reset();
    Clock::setFixedStamp("");
  }

  void settings(const std::string& extra, int smtpPort, const std::string& waitSeconds = "0") {
    TestProgram::writeFile(program.file("QuorMail.env"),
                           "[Mail]\r\nSmtp=127.0.0.1\r\nMailAdress=owner@example.com\r\nMail1_Wait_Second=" +
                               waitSeconds + "\r\nPasSave=2\r\nPOP_before_SMTP=0\r\nLogWrt=1\r\nMax_Moji=80\r\n"
                               "Nothing_UserName=" + sj("読者") + "\r\nSMTPPORT=" + std::to_string(smtpPort) +
                               "\r\n" + extra);
  }

  void reader(const std::string& id, const std::string& name, const std::string& next) {
    Reader r;
    r.id = std::stoi(id);
    r.address = "reader" + id + "@example.com";
    r.registered = DateStamp(20240101, 90000);
    r.name = name;
    r.status = SendStatus::sendable;
    r.nextStory = std::stoi(next);
    ReaderStore(program.sql()).insert(r);
  }

  void story(const std::string& no) { StoryStore(program.sql()).save(Story{std::stoi(no), "s" + no, "b" + no}); }

  void open(int sendOnly = 1) {
    window = std::make_unique<SendWindow>(program.ctx());
    window->prepare(sendOnly ? SendWindow::Mode::sendOnly : SendWindow::Mode::afterReceive);
    window->activate();
  }

  // Clicks start and lets the run on the worker thread end.
  void startAndWait() {
    window->startButton()->click();
    window->waitForRun();
  }

  std::string cell(int col, int row) { return Sjis::fromQ(window->readerGrid()->cell(col, row)); }

  std::vector<std::string> column(int col) {
    std::vector<std::string> out;
    for (int r = 1; r < window->readerGrid()->rowCount() && !cell(2, r).empty(); ++r) out.push_back(cell(col, r));
    return out;
  }

  std::string nextStoryStored(const std::string& id) {
    auto rows = program.rows(" SELECT NEXTSTORY FROM USERLIST WHERE ID = '" + id + "'", {"NEXTSTORY"});
    return rows.empty() ? std::string() : rows[0][0];
  }

  // Catches the settings window the action opens: the page it shows (1: mail).
  int settingsPageOpenedBy(const std::function<void()>& action) {
    int page = -1;
    SettingsWindow settings(program.ctx());
    program.ctx().setWindow(WindowId::Settings, &settings);
    QTimer::singleShot(0, [&] {
      settings.activate();  // the opening's initialisation, whether or not activation came first
      page = settings.pages->currentIndex();
      settings.reject();
    });
    action();
    program.ctx().setWindow(WindowId::Settings, nullptr);
    return page;
  }

  // Two readers due story 1, both marked, in an opened window.
  void openWithTwoMarkedReaders(int smtpPort, const std::string& waitSeconds = "0") {
    settings("", smtpPort, waitSeconds);
    story("00001");
    reader("00001", "a", "00001");
    reader("00002", "b", "00001");
    open();
    window->markAllButton()->click();
  }

  // Calls act on the user-interface thread every 20 ms while the run goes on, until it
  // returns true; the run is then left to end.
  void whileRunning(const std::function<bool()>& act) {
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (act()) poll.stop();
    });
    poll.start();
    window->startButton()->click();
    window->waitForRun();
  }
};

TEST_F(SendWindowTest, ListsOnlyDueSendableReadersWithTheirMarks) {
  settings("", 25);
  story("00001");
  story("00002");
  reader("00001", sj("山田"), "00001");
  reader("00003", sj("完了"), "00003");
  reader("00012", sj("最後"), "00002");
  open();
  EXPECT_EQ(window->windowTitle(), q("クオル メール送信"));
  EXPECT_EQ(window->lastStoryEdit()->text(), QStringLiteral("    2"));
  EXPECT_EQ(column(2), (std::vector<std::string>{"    1", "   12"}));
  EXPECT_EQ(column(1), (std::vector<std::string>{sj("可"), sj("可")}));
  EXPECT_EQ(window->readerGrid()->rowCount(), 31);
  EXPECT_EQ(window->listedCountEdit()->text(), QStringLiteral("     2"));
  EXPECT_EQ(window->readerGrid()->model()->headerData(11, Qt::Horizontal).toString(), q("登録日 "));
  EXPECT_TRUE(window->startButton()->isEnabled());
  EXPECT_EQ(window->endButton()->text(), q("F12 終 了"));

  window->markKey(1, QLatin1Char('1'));
  EXPECT_EQ(cell(0, 1), sj("  ○  "));
  EXPECT_EQ(window->readerGrid()->currentRow(), 2);
  window->markKey(2, QLatin1Char('x'));  // other keys clear and stay
  EXPECT_EQ(window->readerGrid()->currentRow(), 2);
  window->markKey(2, QLatin1Char('1'));  // the last listed row: marks, stays
  EXPECT_EQ(window->readerGrid()->currentRow(), 2);
  window->markAllButton()->click();
  EXPECT_EQ(column(0), (std::vector<std::string>{sj("  ○  "), sj("  ○  ")}));
  window->markKey(1, QLatin1Char('0'));
  EXPECT_EQ(cell(0, 1), "");
  window->unmarkAllButton()->click();
  EXPECT_EQ(column(0), (std::vector<std::string>{"", ""}));
}

TEST_F(SendWindowTest, GridGrowsPastThirtyReaders) {
  settings("", 25);
  story("00001");
  for (int i = 1; i <= 31; ++i) reader(zeroFill(std::to_string(i), 5), "n", "00001");
  open();
  EXPECT_EQ(window->readerGrid()->rowCount(), 32);
}

TEST_F(SendWindowTest, StartCheckBoxesAndTheSettingsWindowForASettingsProblem) {
  settings("", 25);
  reader("00001", "a", "00001");
  open();
  window->startButton()->click();
  EXPECT_EQ(boxes.lastText(), q("ストーリーが登録されていません。"));

  story("00001");
  program.exec(" DELETE FROM USERLIST");
  open();
  window->startButton()->click();
  EXPECT_EQ(boxes.lastText(), q("送信対象が１件もありません。"));

  reader("00001", "a", "00001");
  open();
  window->startButton()->click();
  EXPECT_EQ(boxes.lastText(), q("選択されていません。"));

  TestProgram::writeFile(program.file("QuorMail.env"),
                         "[Mail]\r\nSmtp=" + sj("ＳＭＴＰ") + "\r\nPOP_before_SMTP=0\r\n");
  open();
  window->markAllButton()->click();
  EXPECT_EQ(settingsPageOpenedBy([&] { window->startButton()->click(); }), 1);
  EXPECT_EQ(boxes.lastText(), q("SMTPｻｰﾊﾞ名に全角文字があります。\r\r半角文字で入力して下さい。"));

  // A saved password that is missing is a settings problem too.
  TestProgram::writeFile(program.file("QuorMail.env"),
                         "[Mail]\r\nSmtp=127.0.0.1\r\nMailAdress=a@b\r\nPasSave=1\r\nPOP_before_SMTP=1\r\n"
                         "Pop_Saver=127.0.0.1\r\nPop_UsrName=u\r\n");
  open();
  window->markAllButton()->click();
  EXPECT_EQ(settingsPageOpenedBy([&] { window->startButton()->click(); }), 1);
  EXPECT_EQ(boxes.lastText(), q("パスワードを設定して下さい。"));
  EXPECT_FALSE(window->running());
}

TEST_F(SendWindowTest, RunShowsEachReaderSentAndEndsReady) {
  SmtpTestServer smtp;
  settings("", smtp.port());
  story("00001");
  story("00002");
  reader("00001", sj("山田　太郎"), "00001");
  reader("00002", "", "00002");
  reader("00003", sj("対象外"), "00001");
  open();
  window->markKey(1, QLatin1Char('1'));
  window->markKey(2, QLatin1Char('1'));
  EXPECT_EQ(window->progressLabel()->text(), q("0 / 2 送信済"));  // the counter follows the marks
  window->startButton()->click();
  EXPECT_TRUE(window->running());
  EXPECT_EQ(window->endButton()->text(), q("F12 中 断"));
  EXPECT_FALSE(window->startButton()->isEnabled());
  EXPECT_FALSE(window->markAllButton()->isEnabled());
  window->waitForRun();

  EXPECT_EQ(smtp.messages().size(), 2u);
  EXPECT_EQ(column(0), (std::vector<std::string>{sj("  済  "), sj("  済  "), ""}));
  EXPECT_EQ(column(1), (std::vector<std::string>{sj("可"), sj("全済"), sj("可")}));
  EXPECT_EQ(column(3), (std::vector<std::string>{"    2", "    3", "    1"}));
  // Dates as people read them in the list, as stored in the send log.
  EXPECT_EQ(column(5), (std::vector<std::string>{"2024/05/07", "2024/05/07", DateStamp::noneShown()}));
  EXPECT_EQ(window->progressLabel()->text(), q("2 / 2 送信済"));
  EXPECT_TRUE(window->successLabel()->isVisibleTo(window.get()));
  EXPECT_FALSE(window->errorLabel()->isVisibleTo(window.get()));
  EXPECT_FALSE(window->countdownLabel()->isVisibleTo(window.get()));
  EXPECT_EQ(window->endButton()->text(), q("F12 終 了"));
  EXPECT_FALSE(window->running());
  EXPECT_EQ(nextStoryStored("00001"), "00002");
  EXPECT_EQ(boxes.texts(), std::vector<QString>{confirmation(2, "1, 2")});
  const std::string log = TestProgram::readFile(program.file("SndMail.log"));
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3);
  EXPECT_NE(log.find("20240507"), std::string::npos);
  EXPECT_EQ(log.find("2024/05/07"), std::string::npos);

  // F5 shows this run's outcomes, one row a reader.
  window->lastRunButton()->click();
  std::unique_ptr<HistoryDialog> lastRun(window->findChild<HistoryDialog*>());
  ASSERT_TRUE(lastRun);
  ASSERT_EQ(lastRun->table->rowCount(), 2);
  for (int row = 0; row < 2; ++row) {
    EXPECT_EQ(lastRun->table->item(row, 1)->text(), QString::fromStdString(idText(row + 1)));
    EXPECT_EQ(lastRun->table->item(row, 3)->text(), q("送信済"));
  }
}

TEST_F(SendWindowTest, TheStatusLineSaysHowManyThePaceLetGoAndItsEndIsNoError) {
  SmtpTestServer smtp;
  settings("", smtp.port());
  IniFile(program.file("QuorMail.env")).writeString("Mail", "DayLimit", "1");
  story("00001");
  reader("00001", "", "00001");
  reader("00002", "", "00001");
  open();
  EXPECT_EQ(window->statusLabel()->text(), q("今回送信できるのは 1 名までです（本日の送信上限 1 通）。"));
  window->markAllButton()->click();
  window->startButton()->click();
  window->waitForRun();
  EXPECT_EQ(smtp.messages().size(), 1u);
  EXPECT_EQ(window->errorLabel()->text(), q("送信ペースの上限で終了しました。残りは次回送信します。"));
}

TEST_F(SendWindowTest, RefusedConnectionShowsTheErrorBoxAndEndsTheRun) {
  settings("", freeLocalPort());
  story("00001");
  reader("00001", "a", "00001");
  reader("00002", "b", "00001");
  open();
  window->markAllButton()->click();
  startAndWait();
  ASSERT_EQ(boxes.shown().size(), 2u);  // the confirmation, then the error
  EXPECT_TRUE(boxes.lastText().startsWith(q("SMTPサーバに接続できませんでした（接続を拒否されました）。")))
      << boxes.lastText().toStdString();
  EXPECT_TRUE(boxes.lastText().contains(QStringLiteral("\nSocket Error # 10061 Connection refused.")))
      << boxes.lastText().toStdString();
  EXPECT_EQ(boxes.shown()[1].icon, MsgIcon::Error);
  EXPECT_EQ(column(0), (std::vector<std::string>{sj("送信失敗"), sj("  ○  ")}));
  EXPECT_TRUE(window->errorLabel()->isVisibleTo(window.get()));
  EXPECT_EQ(window->errorLabel()->text(), q("エラーで終了しました。"));
  EXPECT_FALSE(window->successLabel()->isVisibleTo(window.get()));
  EXPECT_EQ(nextStoryStored("00001"), "00001");
}

TEST_F(SendWindowTest, StopDuringTheCountdownEndsTheRunAtOnce) {
  SmtpTestServer smtp;
  openWithTwoMarkedReaders(smtp.port(), "90");
  QString countdown;
  // Stops as soon as the countdown after the first mail shows, however long that took.
  whileRunning([&] {
    if (!window->countdownLabel()->isVisibleTo(window.get())) return false;
    countdown = window->countdownLabel()->text();
    boxes.queueAnswer(MsgResult::Yes);
    window->endButton()->click();
    return true;
  });
  EXPECT_TRUE(QRegularExpression(q("^メール送信まで 1 分 [0-9]+ 秒です。$")).match(countdown).hasMatch())
      << countdown.toStdString();
  EXPECT_EQ(boxes.lastText(), q("送信を中止しますか?"));
  EXPECT_EQ(boxes.shown().back().icon, MsgIcon::Warning);
  EXPECT_EQ(boxes.shown().back().buttons, MsgButtons::YesNo);
  EXPECT_EQ(column(0), (std::vector<std::string>{sj("  済  "), sj("  ○  ")}));
  EXPECT_TRUE(window->errorLabel()->isVisibleTo(window.get()));
  EXPECT_FALSE(window->countdownLabel()->isVisibleTo(window.get()));
  EXPECT_EQ(smtp.messages().size(), 1u);
  const std::string log = TestProgram::readFile(program.file("SndMail.log"));
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);  // header and the one handled row
}

TEST_F(SendWindowTest, WindowKeepsAnsweringWhileTheServerStallsAndStopsOnRequest) {
  std::atomic<bool> accepted{false};
  std::atomic<bool> clientLeft{false};
  ScriptedServer stalled([&](ScriptedServer::Peer& p) {
    accepted = true;
    clientLeft = p.waitForClose(60000);
  });
  settings("", stalled.port());
  story("00001");
  reader("00001", "a", "00001");
  open();
  window->markAllButton()->click();
  int ticksWhileWaiting = 0;
  whileRunning([&] {
    if (!accepted) return false;
    // The run waits on the server; the window's own timer still fires, and the
    // "No" to the question leaves the run waiting.
    if (++ticksWhileWaiting == 3) {
      boxes.queueAnswer(MsgResult::No);
      window->endButton()->click();
      EXPECT_TRUE(window->running());
      return false;
    }
    if (ticksWhileWaiting < 5) return false;
    boxes.queueAnswer(MsgResult::Yes);
    window->endButton()->click();
    return true;
  });
  stalled.join();
  EXPECT_TRUE(clientLeft);
  EXPECT_EQ(ticksWhileWaiting, 5);
  EXPECT_EQ(boxes.texts(), (std::vector<QString>{confirmation(1, "1"), q("送信を中止しますか?"), q("送信を中止しますか?")}));
  EXPECT_EQ(column(0), (std::vector<std::string>{sj("  中止  ")}));
  EXPECT_TRUE(window->errorLabel()->isVisibleTo(window.get()));
  EXPECT_EQ(window->endButton()->text(), q("F12 終 了"));
  EXPECT_EQ(nextStoryStored("00001"), "00001");
}

TEST_F(SendWindowTest, ClosingDuringARunStopsItAndThenCloses) {
  std::atomic<bool> accepted{false};
  ScriptedServer stalled([&](ScriptedServer::Peer& p) {
    accepted = true;
    p.waitForClose(60000);
  });
  settings("", stalled.port());
  story("00001");
  reader("00001", "a", "00001");
  open();
  window->show();
  window->markAllButton()->click();
  bool stillShownAfterClose = false;
  whileRunning([&] {
    if (!accepted) return false;
    window->close();
    stillShownAfterClose = window->isVisible();
    return true;
  });
  QApplication::processEvents();
  EXPECT_TRUE(stillShownAfterClose);  // the window waits for the run to end
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(boxes.texts(), std::vector<QString>{confirmation(1, "1")});
  EXPECT_EQ(nextStoryStored("00001"), "00001");
}

// Processes events until the condition holds; false after the deadline.
bool processEventsUntil(const std::function<bool()>& condition) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > 60000) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  return true;
}

// SIGTERM while the server never answers: the run stops as after "中 断", the reader
// stays where it was, and only then may the program close its database and end.
TEST_F(SendWindowTest, TerminationSignalStopsTheRunBeforeTheProgramEnds) {
  std::atomic<bool> accepted{false};
  std::atomic<bool> clientLeft{false};
  ScriptedServer stalled([&](ScriptedServer::Peer& p) {
    accepted = true;
    clientLeft = p.waitForClose(60000);
  });
  openWithTwoMarkedReaders(stalled.port());
  bool ended = false;
  bool runningWhenEnded = true;
  ShutdownOnSignal shutdown([&] {
    ended = true;
    runningWhenEnded = window->running();
  });
  whileRunning([&] {
    if (!accepted) return false;
    ::kill(::getpid(), SIGTERM);
    return true;
  });
  ASSERT_TRUE(processEventsUntil([&] { return ended; }));
  stalled.join();
  EXPECT_TRUE(clientLeft);
  EXPECT_FALSE(runningWhenEnded);
  EXPECT_EQ(boxes.texts(), std::vector<QString>{confirmation(2, "1")});
  EXPECT_EQ(column(0), (std::vector<std::string>{sj("  中止  "), sj("  ○  ")}));
  EXPECT_EQ(window->errorLabel()->text(), q("中断しました。"));
  EXPECT_EQ(nextStoryStored("00001"), "00001");
}

// SIGINT during the countdown: the mail that went out has advanced its reader, the next
// one is not sent.
TEST_F(SendWindowTest, InterruptDuringTheCountdownKeepsTheMailThatWentOut) {
  SmtpTestServer smtp;
  openWithTwoMarkedReaders(smtp.port(), "90");
  bool ended = false;
  ShutdownOnSignal shutdown([&] { ended = true; });
  whileRunning([&] {
    if (cell(0, 1) != sj("  済  ")) return false;
    ::kill(::getpid(), SIGINT);
    return true;
  });
  ASSERT_TRUE(processEventsUntil([&] { return ended; }));
  EXPECT_EQ(smtp.messages().size(), 1u);
  EXPECT_EQ(nextStoryStored("00001"), "00002");
  EXPECT_EQ(nextStoryStored("00002"), "00001");
}

TEST_F(SendWindowTest, UnexpectedFailureOfTheRunShowsTheErrorBoxAndEndsReady) {
  SmtpTestServer smtp;
  settings("", smtp.port());
  story("00001");
  reader("00001", "a", "00001");
  open();
  window->markAllButton()->click();
  // The story table goes away between the listing and the run: the run's query fails.
  program.exec(" DROP TABLE STORYLIST");
  startAndWait();
  // The character check before the run reads the stories: it meets the failure first.
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].icon, MsgIcon::Error);
  EXPECT_TRUE(boxes.lastText().contains(QStringLiteral("STORYLIST"))) << boxes.lastText().toStdString();
  EXPECT_FALSE(window->running());
  EXPECT_TRUE(window->errorLabel()->isVisibleTo(window.get()));
  EXPECT_EQ(window->endButton()->text(), q("F12 終 了"));
  EXPECT_TRUE(smtp.messages().empty());
}

TEST_F(SendWindowTest, ChainMarksAllAndAsksOnceWithTheCountsOrClosesWhenNothingIsDue) {
  SmtpTestServer smtp;
  settings("", smtp.port());
  story("00001");
  reader("00001", "a", "00001");
  const QString question = q("受信を終えました。新規登録 2名、送信対象 1名です。\n\n") + confirmation(1, "1");
  // Declined: nothing goes out, and the window stays open for the operator.
  boxes.queueAnswer(MsgResult::No);
  window = std::make_unique<SendWindow>(program.ctx());
  window->prepare(SendWindow::Mode::afterReceive, 2);
  window->activate();
  window->waitForRun();
  EXPECT_TRUE(smtp.messages().empty());
  EXPECT_TRUE(window->startButton()->isEnabled());
  window->prepare(SendWindow::Mode::afterReceive, 2);
  window->activate();
  window->waitForRun();
  EXPECT_EQ(smtp.messages().size(), 1u);
  EXPECT_EQ(column(0), (std::vector<std::string>{sj("  済  ")}));
  EXPECT_EQ(boxes.texts(), std::vector<QString>(2, question));
  boxes.clear();

  window.reset();
  program.exec(" DELETE FROM USERLIST");
  window = std::make_unique<SendWindow>(program.ctx());
  window->show();
  window->prepare(SendWindow::Mode::afterReceive);
  window->activate();
  EXPECT_EQ(boxes.lastText(), q("送信対象が１件もありません。"));
  for (int i = 0; i < 20 && window->isVisible(); ++i) {
    QTimer::singleShot(20, [] {});
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  EXPECT_FALSE(window->isVisible());
}

}  // namespace

TEST_F(SendWindowTest, PasswordsAreAskedOnlyForWhatTheRunUses) {
  SmtpTestServer plain;
  story("00001");
  reader("00001", "a", "00001");
  // POP before SMTP off: no POP3 password is asked, saved or not.
  settings("PasSave=0\r\n", plain.port());
  {
    PromptAnswers answers({});
    open();
    window->markAllButton()->click();
    startAndWait();
    EXPECT_TRUE(answers.prompts.empty());
  }
  EXPECT_EQ(plain.messages().size(), 1u);
  EXPECT_EQ(boxes.texts(), std::vector<QString>{confirmation(1, "1")});

  // With SMTP login and its password not saved, the SMTP password is asked and used.
  TestCertificates::get();
  SmtpTestServer::Options o;
  o.certFile = TestCertificates::get().localhost.cert;
  o.keyFile = TestCertificates::get().localhost.key;
  o.authUser = "quor";
  o.authPassword = "s3cret";
  SmtpTestServer submission(o);
  program.exec(" UPDATE USERLIST SET NEXTSTORY = '00001'");
  const std::string login = "SmtpSecurity=1\r\nSmtpAuth=1\r\nSmtpUser=quor\r\n";
  settings(login + "SmtpPasSave=0\r\n", submission.port());
  IniFile(program.file("QuorMail.env")).writeString("Mail", "Smtp", "localhost");
  {
    PromptAnswers answers({QString()});  // cancelled: no run
    open();
    window->markAllButton()->click();
    window->startButton()->click();
    EXPECT_FALSE(window->running());
    EXPECT_EQ(answers.prompts, std::vector<QString>{q("SMTPのパスワードを入力して下さい。")});
  }
  {
    PromptAnswers answers({QStringLiteral(" s3cret ")});
    startAndWait();
    EXPECT_EQ(answers.prompts.size(), 1u);
  }
  ASSERT_TRUE(submission.waitForMessages(1));
  EXPECT_NE(submission.messages()[0].envelope.find("\"login\": \"quor\""), std::string::npos);
  EXPECT_EQ(nextStoryStored("00001"), "00002");
  // Asked before the cancelled password prompt, and again before the run.
  EXPECT_EQ(boxes.texts(), (std::vector<QString>{confirmation(1, "1"), confirmation(1, "1"), confirmation(1, "1")}));

  // Saved: no prompt; a saved password that is blank opens the settings on the mail page.
  program.exec(" UPDATE USERLIST SET NEXTSTORY = '00001'");
  settings(login + "SmtpPasSave=1\r\n", submission.port());
  IniFile(program.file("QuorMail.env")).writeString("Mail", "Smtp", "localhost");
  writePasswordFile(program.file("QuorMail3.env"), "s3cret");
  {
    PromptAnswers answers({});
    open();
    window->markAllButton()->click();
    startAndWait();
    EXPECT_TRUE(answers.prompts.empty());
  }
  EXPECT_TRUE(submission.waitForMessages(2));
  std::filesystem::remove(program.file("QuorMail3.env"));
  program.exec(" UPDATE USERLIST SET NEXTSTORY = '00001'");
  open();
  window->markAllButton()->click();
  EXPECT_EQ(settingsPageOpenedBy([&] { window->startButton()->click(); }), 1);
  EXPECT_EQ(boxes.lastText(), q("パスワードを設定して下さい。"));
  EXPECT_FALSE(window->running());
}

namespace {

QString countsText(int due, int marked) {
  return QString(q("送信対象 %1名　選択 %2名")).arg(due).arg(marked);
}

// A key typed into a control of the shown window.
void pressKey(QWidget* w, int key) {
  w->window()->show();
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
}

}  // namespace

TEST_F(SendWindowTest, CountsFollowEveryMarkAndF1AsksBeforeAnythingIsSent) {
  SmtpTestServer smtp;
  settings("", smtp.port());
  story("00001");
  story("00002");
  reader("00001", "a", "00001");
  reader("00002", "b", "00002");
  reader("00003", "c", "00001");
  open();
  EXPECT_EQ(window->countsLabel()->text(), countsText(3, 0));
  window->markKey(1, QLatin1Char('1'));
  EXPECT_EQ(window->countsLabel()->text(), countsText(3, 1));
  window->markAllButton()->click();
  EXPECT_EQ(window->countsLabel()->text(), countsText(3, 3));
  window->markKey(3, QLatin1Char('0'));
  EXPECT_EQ(window->countsLabel()->text(), countsText(3, 2));

  // "No" sends nothing and leaves the window ready.
  boxes.queueAnswer(MsgResult::No);
  pressKey(window->readerGrid(), Qt::Key_F1);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.lastText(), confirmation(2, "1, 2"));
  EXPECT_EQ(boxes.shown()[0].buttons, MsgButtons::YesNo);
  EXPECT_EQ(boxes.shown()[0].icon, MsgIcon::Question);
  EXPECT_FALSE(window->running());
  EXPECT_TRUE(window->startButton()->isEnabled());

  pressKey(window->readerGrid(), Qt::Key_F1);  // answered "Yes", the default
  window->waitForRun();
  EXPECT_EQ(smtp.messages().size(), 2u);
  EXPECT_EQ(column(0), (std::vector<std::string>{sj("  済  "), sj("  済  "), ""}));
  // Reader 1 is due story 2 at once, reader 2 has had every story, reader 3 was left out.
  EXPECT_EQ(window->countsLabel()->text(), countsText(2, 0));
}

TEST_F(SendWindowTest, TheAddressColumnShowsAFortyCharacterAddressWhole) {
  settings("", 25);
  open();
  const QString address = QStringLiteral("hanako.suzuki.accounting@mail.example.jp");  // 40 characters
  EXPECT_GE(window->readerGrid()->columnWidth(static_cast<int>(DueColumn::address)),
            window->readerGrid()->fontMetrics().horizontalAdvance(address) + 10);
}

TEST_F(SendWindowTest, IntervalsShowTheDueDateAndReadersNotDueCannotBeMarked) {
  settings("", 25);
  story("00001");
  story("00002");
  program.exec(" UPDATE STORYLIST SET INTERVALDAYS = 10");
  reader("00001", "a", "00001");  // registered 20240101
  reader("00002", "b", "00002");
  program.exec(" UPDATE USERLIST SET SNDLASTDATE = '20240501' WHERE ID = '00002'");
  open();
  EXPECT_EQ(window->readerGrid()->model()->headerData(4, Qt::Horizontal).toString(), q("次回送信日"));
  EXPECT_EQ(column(4), (std::vector<std::string>{"2024/01/11", "2024/05/11"}));
  EXPECT_EQ(column(1), (std::vector<std::string>{sj("可"), sj("待機")}));
  window->markKey(2, QLatin1Char('1'));
  EXPECT_EQ(cell(0, 2), "");
  window->markAllButton()->click();
  EXPECT_EQ(column(0), (std::vector<std::string>{sj("  ○  "), ""}));
  EXPECT_EQ(window->countsLabel()->text(), countsText(1, 1));

  // No settings file: a new installation sends one mail a day.
  std::filesystem::remove(program.file("QuorMail.env"));
  program.exec(" UPDATE STORYLIST SET INTERVALDAYS = NULL");
  program.exec(" UPDATE USERLIST SET SNDLASTDATE = '20240507'");
  open();
  EXPECT_EQ(column(1), (std::vector<std::string>{sj("待機"), sj("待機")}));
  EXPECT_EQ(column(4), (std::vector<std::string>{"2024/05/08", "2024/05/08"}));
}

TEST_F(SendWindowTest, PreviewShowsTheSelectedReadersMailAsItArrives) {
  SmtpTestServer smtp;
  settings("SenderName=" + sj("クオル 事務局") + "\r\nMax_Moji=20\r\n", smtp.port());
  StoryStore(program.sql()).save(Story{1, sj("第1話 ご挨拶"),
                                     sj("##readername##様\r\nこんにちは、ステップメールの第一回です。")});
  reader("00001", sj("山田"), "00001");
  reader("00002", sj("鈴木"), "00001");
  open();
  window->readerGrid()->setRow(2);
  pressKey(window->readerGrid(), Qt::Key_F3);
  ASSERT_NE(window->preview(), nullptr);
  EXPECT_TRUE(window->preview()->isVisible());
  EXPECT_TRUE(window->preview()->textView()->isReadOnly());
  const std::string preview = window->preview()->text().toStdString();
  EXPECT_NE(preview.find("鈴木様"), std::string::npos) << preview;

  window->markKey(2, QLatin1Char('1'));
  startAndWait();
  ASSERT_TRUE(smtp.waitForMessages(1));
  const std::string mail =
      runCommand(std::string(kPython) + " " QUORMAIL_SOURCE_DIR "/tests/support/decode_mail.py " +
                 smtp.messages()[0].emlPath);
  const auto header = [&](const std::string& name) {
    const std::size_t at = mail.find("\n" + name + ": ") + name.size() + 3;
    return mail.substr(at, mail.find('\n', at) - at);
  };
  std::string body = mail.substr(mail.find("\n\n") + 2);
  body.erase(std::remove(body.begin(), body.end(), '\r'), body.end());
  EXPECT_EQ(preview, "差出人: " + header("From") + "\n宛先: " + header("To") + "\n件名: " + header("Subject") +
                         "\n\n" + body);
}

TEST_F(SendWindowTest, TestMailGoesToTheTypedAddressAndLeavesTheReaderAsItWas) {
  SmtpTestServer smtp;
  settings("", smtp.port());
  story("00001");
  reader("00001", "a", "00001");
  open();
  // Cancelled, and then an address that is none: nothing is sent.
  window->testMailButton()->click();
  ASSERT_EQ(boxes.textRequests.size(), 1u);
  EXPECT_TRUE(boxes.textRequests[0].endsWith(QStringLiteral("|owner@example.com"))) << boxes.textRequests[0].toStdString();
  boxes.queueText(q("テスト"));
  window->testMailButton()->click();
  EXPECT_EQ(boxes.lastText(), q("テストメールの送信先メールアドレスに誤りがあります。"));

  boxes.queueText(QStringLiteral("tester@example.net"));
  pressKey(window->readerGrid(), Qt::Key_F4);
  EXPECT_TRUE(window->running());
  window->waitForRun();
  ASSERT_TRUE(smtp.waitForMessages(1));
  EXPECT_NE(smtp.messages()[0].envelope.find("tester@example.net"), std::string::npos);
  EXPECT_EQ(boxes.lastText(), q("テストメールを送信しました。\n送信先: tester@example.net"));
  EXPECT_EQ(nextStoryStored("00001"), "00001");
  EXPECT_FALSE(std::filesystem::exists(program.file("SndMail.log")));
  EXPECT_EQ(column(0), std::vector<std::string>{""});
  EXPECT_TRUE(window->startButton()->isEnabled());
  EXPECT_TRUE(window->testMailButton()->isEnabled());
  EXPECT_EQ(window->endButton()->text(), q("F12 終 了"));
  EXPECT_FALSE(window->successLabel()->isVisibleTo(window.get()));
}

TEST_F(SendWindowTest, UncarriableCharactersAreListedAndReplacedOnlyWithTheOperatorsWord) {
  SmtpTestServer smtp;
  settings("", smtp.port());
  StoryStore(program.sql()).save(Story{1, sj("第①話"), sj("##readername##様")});
  reader("00001", sj("髙橋"), "00001");
  const QString question = q("ISO-2022-JPのメールで送れない文字があります。\n\n"
                             "ストーリー1 件名 1行2列「①」 -> (1)\n読者00001 名前 1行1列「髙」 -> 高\n\n"
                             "代替文字に置き換えて送信しますか？\n（置き換えるのは今回のメールだけで、"
                             "登録内容は変わりません。いいえ: 送信を中止します）");
  open();
  window->markAllButton()->click();
  boxes.queueAnswer(MsgResult::No);
  window->startButton()->click();
  EXPECT_EQ(boxes.texts(), std::vector<QString>{question});
  EXPECT_FALSE(window->running());

  startAndWait();  // "Yes" replaces, then the run is confirmed
  EXPECT_EQ(boxes.texts(), (std::vector<QString>{question, question, confirmation(1, "1")}));
  ASSERT_TRUE(smtp.waitForMessages(1));
  const std::string mail = TestProgram::readFile(smtp.messages()[0].emlPath);
  EXPECT_EQ(mail.find('?' + std::string("\n")), std::string::npos);
  EXPECT_EQ(nextStoryStored("00001"), "00002");

  // A reader whose name holds a character without a substitute is passed over; the
  // chain, which never asks, stops at one in the story every mail shares.
  boxes.clear();
  program.exec(" UPDATE USERLIST SET NEXTSTORY = '00001', NAME = '" + sj("纊") + "'");
  open();
  window->markAllButton()->click();
  startAndWait();
  EXPECT_TRUE(boxes.texts().front().contains(q("読者00001 名前 1行1列「纊」\n"))) << boxes.lastText().toStdString();
  EXPECT_EQ(column(0), std::vector<std::string>{sj("スキップ")});
  EXPECT_EQ(smtp.messages().size(), 1u);
  boxes.clear();
  program.exec(" UPDATE USERLIST SET NAME = '" + sj("髙橋") + "'");
  open(0);
  window->waitForRun();
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].icon, MsgIcon::Error);
  EXPECT_EQ(smtp.messages().size(), 1u);
  EXPECT_TRUE(window->errorLabel()->isVisibleTo(window.get()));
}

TEST_F(SendWindowTest, EveryBarButtonShowsItsKeyWholeWithinTheWindow) {
  settings("", 25);
  open();
  window->show();
  QApplication::processEvents();
  int key = 1;
  for (QPushButton* b : window->functionButtons()) {
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->text().startsWith(QStringLiteral("F")) &&
                b->text().contains(QString::number(key)))
        << b->text().toStdString();
    // The caption fits its button.
    EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text()) + 8, b->width()) << b->text().toStdString();
    const QRect inWindow(b->mapTo(window.get(), QPoint(0, 0)), b->size());
    EXPECT_TRUE(window->rect().contains(inWindow)) << b->text().toStdString();
    ++key;
  }
}
