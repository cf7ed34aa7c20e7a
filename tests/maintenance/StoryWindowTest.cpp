#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "controls/NavigatingEdit.h"
#include "controls/StripedGrid.h"
#include "core/Sjis.h"
#include "core/StoryStore.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "maintenance/StoryWindow.h"
#include "maintenance/StorySearchDialog.h"
#include "tests/maintenance/Refuse.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

QString q(const std::string& cp932) { return Sjis::toQ(cp932); }

class StoryWindowTest : public ::testing::Test {
 protected:
  StoryWindowTest() : w(p.ctx()), search(p.ctx()) { p.ctx().setWindow(WindowId::StorySearch, &search); }

  void store(const std::string& no, const std::string& subject, const std::string& body = "body") {
    StoryStore(p.sql()).save(Story{std::stoi(no), subject, body});
  }
  void open() {
    w.prepare();
    w.activate();
  }
  void typeNumber(const char* text) {
    w.numberEdit->setText(QString::fromLatin1(text));
    w.numberEntered();
  }
  std::vector<std::vector<std::string>> stored() {
    return p.rows(" SELECT STORYLIST.* FROM STORYLIST ORDER BY STORYNO", {"STORYNO", "SUBJECT", "STORY"});
  }
  bool editMode() const { return !w.numberEdit->isEnabled() && w.subjectEdit->isEnabled() && w.bodyEdit->isEnabled(); }

  TestProgram p;
  ScriptedDialogs dialogs;
  StoryWindow w;
  StorySearchDialog search;
};

TEST_F(StoryWindowTest, ActivationCountsMailsAndStartsInNumberEntry) {
  store("00001", "a");
  store("00002", "b");
  open();
  EXPECT_EQ(w.countLabel->text(), QStringLiteral("登録数 2"));
  EXPECT_TRUE(w.numberEdit->isEnabled());
  EXPECT_FALSE(w.subjectEdit->isEnabled());
  EXPECT_FALSE(w.saveButton->isEnabled());
  EXPECT_FALSE(w.deleteButton->isEnabled());
  // A second activation (back from a dialog) leaves the screen alone.
  w.numberEdit->setText(QStringLiteral("5"));
  w.activate();
  EXPECT_EQ(w.numberEdit->text(), QStringLiteral("5"));
}

TEST_F(StoryWindowTest, EnterOnEmptyNumberProposesTheNextFreeOne) {
  open();
  typeNumber("");
  EXPECT_EQ(w.numberEdit->text(), QStringLiteral("00001"));
  EXPECT_TRUE(editMode());
  EXPECT_TRUE(w.saveButton->isEnabled());
  EXPECT_FALSE(w.deleteButton->isEnabled());

  store("00012", "twelve");
  w.clearScreen();
  typeNumber("");
  EXPECT_EQ(w.numberEdit->text(), QStringLiteral("00013"));
  EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(StoryWindowTest, NumberChecksRefuseWithTheirMessages) {
  store("99999", "last");
  open();
  typeNumber("");  // 100000 keeps its last five digits: zero
  typeNumber("0");
  typeNumber("abc");
  typeNumber("+12");
  EXPECT_EQ(dialogs.texts(), (std::vector<QString>{QStringLiteral("ストーリー番号にゼロは入力できません。"),
                                                   QStringLiteral("ストーリー番号にゼロは入力できません。"),
                                                   QStringLiteral("ストーリー番号に誤りがあります。"),
                                                   QStringLiteral("ストーリー番号に誤りがあります。")}));
  EXPECT_EQ(w.numberEdit->text(), QString());
  EXPECT_FALSE(editMode());
  EXPECT_FALSE(w.checkFields(StoryCheck::Number));
  EXPECT_EQ(dialogs.lastText(), QStringLiteral("ストーリー番号を入力して下さい。"));
}

TEST_F(StoryWindowTest, SavesAndLoadsDifficultTextUnchanged) {
  open();
  const std::string subject = sj("①ご案内 O'Reilly　～髙橋様～　");
  std::string body;
  const std::string line = sj("全角　と ' と ㈱ ");                  // 11 characters
  while (charCount(body) + 11 + 1 <= 16382) body += line + "\r\n";  // CR LF counts two characters
  while (charCount(body) < 16382) body += sj("あ");
  ASSERT_EQ(charCount(body), 16382);

  typeNumber("7");
  EXPECT_EQ(w.numberEdit->text(), QStringLiteral("00007"));
  w.subjectEdit->setText(q(subject));
  w.bodyEdit->setPlainText(q(body).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  dialogs.queueAnswer(MsgResult::No);  // kept as typed despite "①", "髙" and "㈱"
  w.save();
  ASSERT_EQ(dialogs.shown().size(), 1u);
  EXPECT_EQ(dialogs.shown()[0].buttons, MsgButtons::YesNoCancel);
  dialogs.clear();

  auto rows = stored();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "00007");
  EXPECT_EQ(rows[0][1], subject);
  EXPECT_EQ(rows[0][2], body);
  EXPECT_EQ(w.countLabel->text(), QStringLiteral("登録数 1"));
  EXPECT_EQ(w.numberEdit->text(), QStringLiteral("    7"));
  EXPECT_FALSE(editMode());
  EXPECT_TRUE(w.subjectEdit->text().isEmpty());
  EXPECT_FALSE(w.saveButton->isEnabled());
  EXPECT_TRUE(w.clearButton->isEnabled());

  w.numberEntered();  // the number stays, so Enter loads it back
  EXPECT_TRUE(editMode());
  EXPECT_TRUE(w.deleteButton->isEnabled());
  EXPECT_EQ(Sjis::fromQ(w.subjectEdit->text()), subject);
  EXPECT_EQ(w.storyText(), body);
  EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(StoryWindowTest, SavesABodyLongerThanALiteralWhole) {
  open();
  std::string body;
  while (body.size() < 70000) body += sj("本文の行です。'") + "\r\n";
  typeNumber("1");
  w.subjectEdit->setText(QStringLiteral("s"));
  w.bodyEdit->setPlainText(q(body).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  w.save();
  EXPECT_TRUE(dialogs.shown().empty());
  auto rows = stored();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][2], body);
}

TEST_F(StoryWindowTest, LoadsOnlyTheFirstCharactersOfLongColumns) {
  std::string body(16380, 'x');
  body += sj("漢字漢字");
  std::string subject(199, 's');
  subject += sj("件名");
  store("00001", subject, body);
  open();
  typeNumber("1");
  EXPECT_EQ(w.storyText(), std::string(16380, 'x') + sj("漢字"));
  EXPECT_EQ(Sjis::fromQ(w.subjectEdit->text()), std::string(199, 's') + sj("件"));
}

TEST_F(StoryWindowTest, SaveChecksSubjectThenBodyAndWritesNothing) {
  open();
  typeNumber("3");
  w.save();
  w.subjectEdit->setText(QStringLiteral("  "));
  w.save();
  w.subjectEdit->setText(QStringLiteral("件名"));
  w.bodyEdit->setPlainText(QStringLiteral(" \n "));
  w.save();
  EXPECT_EQ(dialogs.texts(), (std::vector<QString>{QStringLiteral("subjectを入力して下さい。"),
                                                   QStringLiteral("subjectを入力して下さい。"),
                                                   QStringLiteral("ストーリーを入力して下さい。")}));
  EXPECT_TRUE(stored().empty());
  EXPECT_TRUE(editMode());
}

TEST_F(StoryWindowTest, SavingAStoredNumberUpdatesOnlyThatMail) {
  store("00001", "one", "first");
  store("00002", "two", "second");
  open();
  typeNumber("2");
  w.subjectEdit->setText(QStringLiteral("zwei"));
  w.bodyEdit->setPlainText(QStringLiteral("line 1\nline 2"));
  w.save();
  auto rows = stored();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"00001", "one", "first"}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"00002", "zwei", "line 1\r\nline 2"}));
  EXPECT_EQ(w.countLabel->text(), QStringLiteral("登録数 2"));
}

TEST_F(StoryWindowTest, IntervalIsSavedShownWhenBrowsedAndFoundAndKeptOnUpdate) {
  open();
  typeNumber("1");
  w.subjectEdit->setText(QStringLiteral("one"));
  w.intervalEdit->setText(QStringLiteral("007"));
  w.bodyEdit->setPlainText(QStringLiteral("first"));
  w.save();
  typeNumber("2");
  w.subjectEdit->setText(QStringLiteral("two"));
  w.intervalEdit->setText(QStringLiteral("999"));
  w.bodyEdit->setPlainText(QStringLiteral("second"));
  w.save();
  EXPECT_TRUE(dialogs.shown().empty());
  EXPECT_EQ(p.rows(" SELECT STORYNO, INTERVALDAYS FROM STORYLIST ORDER BY STORYNO", {"STORYNO", "INTERVALDAYS"}),
            (std::vector<std::vector<std::string>>{{"00001", "7"}, {"00002", "999"}}));

  w.clearScreen();
  w.showNext();
  EXPECT_EQ(w.intervalEdit->text(), QStringLiteral("7"));
  w.showNext();
  EXPECT_EQ(w.intervalEdit->text(), QStringLiteral("999"));
  EXPECT_FALSE(w.intervalEdit->isEnabled());
  w.showNext();  // past the end: emptied
  EXPECT_EQ(w.intervalEdit->text(), QString());

  QTimer::singleShot(0, &search, [this] {
    search.listGrid->setRow(1);
    search.choose();
  });
  w.searchMail();
  EXPECT_TRUE(w.intervalEdit->isEnabled());
  EXPECT_EQ(w.intervalEdit->text(), QStringLiteral("7"));

  // Changing only the body keeps the interval.
  w.bodyEdit->setPlainText(QStringLiteral("first, again"));
  w.save();
  typeNumber("1");
  EXPECT_EQ(w.intervalEdit->text(), QStringLiteral("7"));
  EXPECT_EQ(w.storyText(), "first, again");
}

TEST_F(StoryWindowTest, EmptyIntervalIsStoredAsZeroAndNullReadsAsZero) {
  open();
  typeNumber("1");
  w.subjectEdit->setText(QStringLiteral("s"));
  w.bodyEdit->setPlainText(QStringLiteral("b"));
  EXPECT_EQ(w.intervalEdit->text(), QString());  // a new mail
  w.save();
  EXPECT_EQ(p.rows(" SELECT INTERVALDAYS FROM STORYLIST", {"INTERVALDAYS"}),
            (std::vector<std::vector<std::string>>{{"0"}}));

  p.exec(" INSERT INTO STORYLIST (STORYNO, SUBJECT, STORY) VALUES ('00002', 'old', 'written before intervals')");
  typeNumber("2");
  EXPECT_EQ(w.intervalEdit->text(), QStringLiteral("0"));
  EXPECT_FALSE(w.hasUnsavedEdits());
  w.save();
  EXPECT_EQ(p.rows(" SELECT INTERVALDAYS FROM STORYLIST WHERE STORYNO = '00002'", {"INTERVALDAYS"}),
            (std::vector<std::vector<std::string>>{{"0"}}));
}

TEST_F(StoryWindowTest, RefusedIntervalIsExplainedAndNothingIsWritten) {
  open();
  typeNumber("1");
  w.subjectEdit->setText(QStringLiteral("s"));
  w.bodyEdit->setPlainText(QStringLiteral("b"));
  const QString message =
      QStringLiteral("前回の送信からの日数に誤りがあります。\r\r0から999までの数字で入力して下さい（空欄は0日）。");
  for (const char* typed : {"abc", "1000", "-1", "+5", "1 2"}) {
    dialogs.clear();
    w.intervalEdit->setText(QString::fromLatin1(typed));
    w.save();
    EXPECT_EQ(dialogs.texts(), std::vector<QString>{message}) << typed;
    EXPECT_TRUE(editMode()) << typed;
  }
  EXPECT_TRUE(stored().empty());

  w.intervalEdit->setText(QStringLiteral(" 12 "));
  EXPECT_TRUE(w.checkFields(StoryCheck::Interval));
  EXPECT_EQ(w.intervalEdit->text(), QStringLiteral("12"));
}

TEST_F(StoryWindowTest, EditingOnlyTheIntervalCountsAsAnUnsavedEdit) {
  store("00001", "one", "first");
  open();
  typeNumber("1");
  w.show();
  QTest::keyClicks(w.intervalEdit, "3");
  EXPECT_TRUE(w.hasUnsavedEdits());
  dialogs.queueAnswer(MsgResult::No);
  w.cancel();
  EXPECT_EQ(dialogs.texts(), std::vector<QString>{QStringLiteral("変更を保存せずに閉じますか？")});
  w.hide();
}

class StoryCharactersTest : public StoryWindowTest {
 protected:
  // Subject "①ご案内 ㈱クオル", body "Ⅱ章" / "髙橋様と﨑山様".
  void typeMail() {
    open();
    typeNumber("1");
    w.subjectEdit->setText(QStringLiteral("①ご案内 ㈱クオル"));
    w.bodyEdit->setPlainText(QStringLiteral("Ⅱ章\n髙橋様と﨑山様"));
  }
};

TEST_F(StoryCharactersTest, SavingListsEachCharacterWithItsPlaceAndYesReplacesThem) {
  typeMail();
  w.save();  // answered Yes
  ASSERT_EQ(dialogs.shown().size(), 1u);
  const auto& box = dialogs.shown()[0];
  EXPECT_EQ(box.icon, MsgIcon::Warning);
  EXPECT_EQ(box.buttons, MsgButtons::YesNoCancel);
  for (const QString& part :
       {QStringLiteral("【subject】\r\n1行1列「①」 -> (1)\r\n1行6列「㈱」 -> (株)\r\n"),
        QStringLiteral("【ストーリー】\r\n1行1列「Ⅱ」 -> II\r\n2行1列「髙」 -> 高\r\n2行5列「﨑」 -> 崎\r\n")})
    EXPECT_TRUE(box.text.contains(part)) << box.text.toStdString();
  EXPECT_FALSE(box.text.contains(QStringLiteral("残ります")));
  EXPECT_EQ(stored(), (std::vector<std::vector<std::string>>{
                          {"00001", sj("(1)ご案内 (株)クオル"), sj("II章\r\n高橋様と崎山様")}}));
  EXPECT_EQ(w.messageLine->text(), QStringLiteral("登録しました。"));
}

TEST_F(StoryCharactersTest, NoSavesAsTypedAndCancelReturnsToTheFirstOne) {
  typeMail();
  dialogs.queueAnswer(MsgResult::Cancel);
  w.save();
  EXPECT_TRUE(stored().empty());
  EXPECT_TRUE(editMode());
  EXPECT_EQ(w.messageLine->text(), QStringLiteral("メールで送れない文字が 5 文字あります。"));
  EXPECT_EQ(w.subjectEdit->selectedText(), QStringLiteral("①"));
  EXPECT_EQ(w.subjectEdit->text(), QStringLiteral("①ご案内 ㈱クオル"));

  // Only the body has them: its first one is selected.
  w.subjectEdit->setText(QStringLiteral("ご案内"));
  w.bodyEdit->setPlainText(QStringLiteral("こんにちは\n髙橋様"));
  dialogs.queueAnswer(MsgResult::Cancel);
  w.save();
  EXPECT_EQ(w.bodyEdit->textCursor().selectedText(), QStringLiteral("髙"));
  EXPECT_EQ(w.bodyEdit->textCursor().blockNumber(), 1);
  EXPECT_TRUE(stored().empty());

  w.subjectEdit->setText(QStringLiteral("①ご案内 ㈱クオル"));
  w.bodyEdit->setPlainText(QStringLiteral("Ⅱ章\n髙橋様と﨑山様"));
  dialogs.queueAnswer(MsgResult::No);
  w.save();
  EXPECT_EQ(stored(), (std::vector<std::vector<std::string>>{
                          {"00001", sj("①ご案内 ㈱クオル"), sj("Ⅱ章\r\n髙橋様と﨑山様")}}));
}

TEST_F(StoryCharactersTest, ACharacterWithoutSubstituteIsNamedAndStaysAfterReplacing) {
  open();
  typeNumber("1");
  w.subjectEdit->setText(QStringLiteral("広さ 3㌃"));
  w.bodyEdit->setPlainText(QStringLiteral("①"));
  w.save();  // Yes
  EXPECT_TRUE(dialogs.lastText().contains(QStringLiteral("1行5列「㌃」\r\n"))) << dialogs.lastText().toStdString();
  EXPECT_TRUE(dialogs.lastText().contains(QStringLiteral("置き換えても残ります")));
  EXPECT_EQ(stored(), (std::vector<std::vector<std::string>>{{"00001", sj("広さ 3㌃"), "(1)"}}));
}

TEST_F(StoryWindowTest, NextAndPreviousWalkInNumberOrder) {
  for (const char* no : {"00010", "00009", "00011"}) store(no, std::string("s") + no);
  open();
  w.showNext();
  EXPECT_EQ(w.numberEdit->text(), QStringLiteral("    9"));
  EXPECT_EQ(w.subjectEdit->text(), QStringLiteral("s00009"));
  EXPECT_TRUE(w.deleteButton->isEnabled());
  EXPECT_FALSE(editMode());
  w.showNext();
  EXPECT_EQ(w.numberEdit->text(), QStringLiteral("   10"));
  w.showNext();
  w.showNext();  // past the last mail
  EXPECT_EQ(w.numberEdit->text(), QString());
  EXPECT_TRUE(w.subjectEdit->text().isEmpty());
  EXPECT_FALSE(w.deleteButton->isEnabled());

  w.showPrevious();  // from an empty field: the last mail
  EXPECT_EQ(w.numberEdit->text(), QStringLiteral("   11"));
  w.showPrevious();
  w.showPrevious();
  EXPECT_EQ(w.numberEdit->text(), QStringLiteral("    9"));
  w.showPrevious();  // before the first mail
  EXPECT_EQ(w.numberEdit->text(), QString());
  EXPECT_FALSE(w.deleteButton->isEnabled());
}

TEST_F(StoryWindowTest, PreviousOnAnEmptyTableShowsNothing) {
  open();
  w.showPrevious();
  EXPECT_EQ(w.numberEdit->text(), QString());
  EXPECT_FALSE(w.deleteButton->isEnabled());
}

TEST_F(StoryWindowTest, DeleteAsksFirstAndKeepsTheMailOnNo) {
  store("00001", "one");
  store("00002", "two");
  open();
  w.showNext();
  dialogs.queueAnswer(MsgResult::No);
  w.deleteMail();
  EXPECT_EQ(stored().size(), 2u);
  EXPECT_EQ(w.subjectEdit->text(), QStringLiteral("one"));

  w.deleteMail();  // answered Yes
  EXPECT_EQ(dialogs.texts(), (std::vector<QString>{QStringLiteral("削除してもよろしいですか？"),
                                                   QStringLiteral("削除してもよろしいですか？")}));
  EXPECT_EQ(dialogs.shown()[0].icon, MsgIcon::Warning);
  EXPECT_EQ(dialogs.shown()[0].buttons, MsgButtons::YesNoDefaultNo);  // Enter keeps the mail
  auto rows = stored();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "00002");
  EXPECT_EQ(w.countLabel->text(), QStringLiteral("登録数 1"));
  EXPECT_EQ(w.numberEdit->text(), QStringLiteral("    1"));
  EXPECT_FALSE(w.deleteButton->isEnabled());
}

TEST_F(StoryWindowTest, FailedInsertIsReportedAndTheScreenReturnsToNumberEntry) {
  refuseWrites(p, "STORYLIST", "INSERT");
  open();
  typeNumber("4");
  w.subjectEdit->setText(QStringLiteral("subject"));
  w.bodyEdit->setPlainText(QStringLiteral("body"));
  w.save();
  ASSERT_EQ(dialogs.shown().size(), 1u);
  EXPECT_EQ(dialogs.shown()[0].icon, MsgIcon::Error);
  EXPECT_TRUE(dialogs.lastText().startsWith(QStringLiteral("INSERT 失敗 ")));
  EXPECT_TRUE(dialogs.lastText().contains(QStringLiteral("refused by test")));
  EXPECT_EQ(w.messageLine->text(), dialogs.lastText());
  EXPECT_TRUE(stored().empty());
  EXPECT_FALSE(editMode());
  EXPECT_TRUE(w.subjectEdit->text().isEmpty());
  EXPECT_EQ(w.countLabel->text(), QStringLiteral("登録数 0"));
}

TEST_F(StoryWindowTest, FailedUpdateAndDeleteAreReportedWithTheirPrefixes) {
  store("00001", "one", "first");
  refuseWrites(p, "STORYLIST", "UPDATE");
  refuseWrites(p, "STORYLIST", "DELETE");
  open();
  typeNumber("1");
  w.subjectEdit->setText(QStringLiteral("changed"));
  w.save();
  EXPECT_TRUE(dialogs.lastText().startsWith(QStringLiteral("UPDATE 失敗 ")));
  EXPECT_TRUE(w.messageLine->text().startsWith(QStringLiteral("UPDATE 失敗 ")));

  w.numberEntered();
  w.deleteMail();  // Yes
  EXPECT_TRUE(dialogs.lastText().startsWith(QStringLiteral("DELETE 失敗 ")));
  EXPECT_TRUE(dialogs.lastText().contains(QStringLiteral("refused by test")));
  EXPECT_EQ(stored(), (std::vector<std::vector<std::string>>{{"00001", "one", "first"}}));
  EXPECT_FALSE(editMode());
}

TEST_F(StoryWindowTest, ReaderNamePlaceholderReplacesTheSelection) {
  open();
  typeNumber("1");
  w.bodyEdit->setPlainText(QStringLiteral("Dear XX,"));
  QTextCursor c = w.bodyEdit->textCursor();
  c.setPosition(5);
  c.setPosition(7, QTextCursor::KeepAnchor);
  w.bodyEdit->setTextCursor(c);
  w.insertReaderName();
  EXPECT_EQ(w.bodyEdit->toPlainText(), QStringLiteral("Dear ##readername##,"));
}

TEST_F(StoryWindowTest, SearchListsEveryMailAndLoadsTheChoice) {
  for (int i = 1; i <= 45; ++i) store(zeroFill(std::to_string(i), 5), "subject " + std::to_string(i));
  StoryStore(p.sql()).save(Story{45, "subject 45", "body", 7});
  open();
  w.numberEdit->setText(QStringLiteral("30"));  // emptied before the dialog opens
  QTimer::singleShot(0, &search, [this] {
    EXPECT_EQ(search.listGrid->rowCount(), 46);
    EXPECT_EQ(search.listGrid->cell(0, 12), QStringLiteral("00012"));
    EXPECT_EQ(search.listGrid->cell(1, 45), QStringLiteral("subject 45"));
    // Each mail's interval after the reader's previous one.
    EXPECT_EQ(search.listGrid->cell(2, 12), QStringLiteral("0 日後"));
    EXPECT_EQ(search.listGrid->cell(2, 45), QStringLiteral("7 日後"));
    search.listGrid->setRow(12);
    search.choose();
  });
  w.searchMail();
  EXPECT_TRUE(editMode());
  EXPECT_EQ(w.numberEdit->text(), QStringLiteral("   12"));
  EXPECT_EQ(w.subjectEdit->text(), QStringLiteral("subject 12"));
  EXPECT_TRUE(w.deleteButton->isEnabled());
}

TEST_F(StoryWindowTest, SearchOnAnEmptyTableSaysSoAndAbandonClearsTheWindow) {
  open();
  w.numberEdit->setText(QStringLiteral("5"));
  QTimer::singleShot(0, &search, [this] {
    search.listGrid->setRow(1);
    search.choose();  // an empty row: nothing happens
    EXPECT_TRUE(search.isVisible());
    search.cancel();
  });
  w.searchMail();
  EXPECT_EQ(dialogs.texts(), std::vector<QString>{QStringLiteral("データが登録されていません。")});
  EXPECT_EQ(w.numberEdit->text(), QString());
  EXPECT_FALSE(editMode());
}

TEST_F(StoryWindowTest, SearchRefillsFromScratchOnEachOpening) {
  store("00001", "one");
  store("00002", "two");
  search.fillList();
  EXPECT_EQ(search.listGrid->cell(0, 2), QStringLiteral("00002"));
  p.exec(" DELETE FROM STORYLIST WHERE STORYNO = '00002'");
  search.fillList();
  EXPECT_EQ(search.listGrid->cell(0, 1), QStringLiteral("00001"));
  EXPECT_EQ(search.listGrid->cell(0, 2), QString());
  EXPECT_EQ(search.listGrid->rowCount(), 31);
}

}  // namespace

#include <QApplication>
#include <QTest>

namespace {

TEST_F(StoryWindowTest, TheMarkOfTheNoteStandsOverReaderNameInsertion) {
  w.show();
  QApplication::processEvents();
  EXPECT_EQ(w.readerNameButton->text(), QStringLiteral("読者名挿入"));
  QLabel* mark = nullptr;
  for (QLabel* label : w.findChildren<QLabel*>())
    if (label->text() == QStringLiteral("↓　①")) mark = label;
  ASSERT_NE(mark, nullptr);
  const QRect button = w.readerNameButton->geometry();
  const QPoint markCentre = mark->mapTo(&w, mark->rect().center());
  EXPECT_GE(markCentre.x(), button.left());
  EXPECT_LE(markCentre.x(), button.right());
  EXPECT_LT(markCentre.y(), button.top());
  EXPECT_GT(markCentre.y(), button.top() - 3 * button.height());
}

TEST_F(StoryWindowTest, UnsavedEditsAreConfirmedBeforeCancelAndASaveIsConfirmed) {
  store("00001", "one", "first");
  open();
  w.show();
  typeNumber("1");
  QTest::keyClick(w.subjectEdit, Qt::Key_F12);  // loaded, nothing changed: closes at once
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(dialogs.shown().empty());

  w.show();
  typeNumber("1");
  w.bodyEdit->moveCursor(QTextCursor::End);
  QTest::keyClicks(w.bodyEdit, "!");
  dialogs.queueAnswer(MsgResult::No);
  w.cancel();
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(editMode());
  EXPECT_EQ(dialogs.texts(), std::vector<QString>{QStringLiteral("変更を保存せずに閉じますか？")});

  w.save();
  EXPECT_EQ(w.messageLine->text(), QStringLiteral("登録しました。"));
  EXPECT_EQ(stored()[0][2], "first!");
  typeNumber("1");
  EXPECT_TRUE(w.messageLine->text().isEmpty());
  QTest::keyClicks(w.subjectEdit, "x");
  w.cancel();  // Yes: the change is thrown away
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(dialogs.texts().size(), 2u);
  EXPECT_EQ(stored()[0][1], "one");
}

TEST_F(StoryWindowTest, BrowsedMailIsReadableNotGreyedOut) {
  store("00001", "WWWWWW", "WWWWWW");
  open();
  w.show();
  w.showNext();
  ASSERT_FALSE(w.subjectEdit->isEnabled());
  const QPalette palette = w.subjectEdit->palette();
  EXPECT_EQ(palette.color(QPalette::Disabled, QPalette::Text), palette.color(QPalette::Active, QPalette::Text));
  EXPECT_EQ(w.bodyEdit->palette().color(QPalette::Disabled, QPalette::Text),
            w.bodyEdit->palette().color(QPalette::Active, QPalette::Text));
}

TEST_F(StoryWindowTest, KeysDriveTheScreen) {
  store("00002", "two", "second");
  w.prepare();
  w.show();
  QApplication::setActiveWindow(&w);
  w.activate();
  w.numberEdit->setFocus();
  QTest::keyClicks(w.numberEdit, "a2.-");  // only digits reach the number field
  EXPECT_EQ(w.numberEdit->text(), QStringLiteral("2"));
  QTest::keyClick(w.numberEdit, Qt::Key_F1);  // disabled: nothing
  QTest::keyClick(w.numberEdit, Qt::Key_Return);
  EXPECT_TRUE(editMode());
  EXPECT_EQ(w.subjectEdit->text(), QStringLiteral("two"));

  w.bodyEdit->setFocus();
  w.bodyEdit->moveCursor(QTextCursor::End);
  QTest::keyClick(w.bodyEdit, Qt::Key_F4);
  EXPECT_EQ(w.bodyEdit->toPlainText(), QStringLiteral("second##readername##"));
  w.subjectEdit->clear();
  QTest::keyClick(w.bodyEdit, Qt::Key_Return);  // the subject is checked, the line break still goes in
  EXPECT_EQ(dialogs.texts(), std::vector<QString>{QStringLiteral("subjectを入力して下さい。")});
  EXPECT_EQ(w.bodyEdit->toPlainText(), QStringLiteral("second##readername##\n"));

  w.subjectEdit->setText(QStringLiteral("zwei"));
  for (Qt::Key k : {Qt::Key_F5, Qt::Key_F7, Qt::Key_F9, Qt::Key_F11}) QTest::keyClick(w.subjectEdit, k);
  QTest::keyClick(w.subjectEdit, Qt::Key_F1);
  EXPECT_EQ(stored(), (std::vector<std::vector<std::string>>{{"00002", "zwei", "second##readername##\r\n"}}));
  EXPECT_FALSE(editMode());
  QTest::keyClick(w.numberEdit, Qt::Key_F12);
  EXPECT_FALSE(w.isVisible());
}

}  // namespace
