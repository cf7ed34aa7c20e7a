#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "controls/NavigatingEdit.h"
#include "controls/StripedGrid.h"
#include "core/Clock.h"
#include "core/Sjis.h"
#include "core/Tables.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "maintenance/ReaderWindow.h"
#include "maintenance/ReaderSearchDialog.h"
#include "tests/maintenance/Refuse.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

QString q(const std::string& cp932) { return Sjis::toQ(cp932); }

ReaderRow reader(const std::string& id, const std::string& name, const std::string& address) {
  ReaderRow r;
  r.ID = id;
  r.MAILADDRESS = address;
  r.TOUROKUDATE = "20240101";
  r.TOUROKUTIME = "090000";
  r.NAME = name;
  r.SYORIKBN = "01";
  r.NEXTSTORY = "00003";
  r.SNDFASTDATE = "20240102";
  r.SNDFASTTIME = "100000";
  r.SNDLASTDATE = "20240103";
  r.SNDLASTTIME = "110000";
  return r;
}

class ReaderWindowTest : public ::testing::Test {
 protected:
  ReaderWindowTest() : w(p.ctx()), search(p.ctx()) {
    p.ctx().setWindow(WindowId::ReaderSearch, &search);
    Clock::setFixedStamp("20240507120000");
  }
  ~ReaderWindowTest() override { Clock::setFixedStamp(""); }

  void store(const ReaderRow& r) { writeReader(p.sql(), r); }
  void open() {
    p.ctx().initReaders = 1;
    w.activate();
  }
  void enter(NavigatingEdit* field, const QString& text) {
    field->setText(text);
    w.FieldEnter(field);
  }
  // Looks an ID up and fills every field with acceptable values.
  void newReader(const char* id) {
    enter(w.EID, QString::fromLatin1(id));
    w.ESyoriKbn->setText(QStringLiteral("1"));
    w.ENEXTSTORY->setText(QStringLiteral("1"));
    w.ENAME->setText(QStringLiteral("山田"));
    w.EMAILADDRESS->setText(QStringLiteral("yamada@example.com"));
  }
  std::vector<std::vector<std::string>> stored(const std::vector<std::string>& columns) {
    return p.rows(" SELECT USERLIST.* FROM USERLIST ORDER BY ID", columns);
  }
  bool editMode() const { return !w.EID->isEnabled() && w.ESyoriKbn->isEnabled() && w.EBiko3->isEnabled(); }

  TestProgram p;
  ScriptedDialogs dialogs;
  ReaderWindow w;
  ReaderSearchDialog search;
};

TEST_F(ReaderWindowTest, IdChecksAndLookupOfANewReader) {
  open();
  enter(w.EID, QString());
  enter(w.EID, QStringLiteral("0"));
  enter(w.EID, QStringLiteral("1a"));
  enter(w.EID, QStringLiteral("-1"));
  enter(w.EID, QStringLiteral("$1F"));  // a pasted hexadecimal number never becomes a key
  EXPECT_EQ(dialogs.texts(),
            (std::vector<QString>{
                QStringLiteral("読者IDを入力して下さい。"), QStringLiteral("読者IDにゼロは入力できません。"),
                QStringLiteral("読者IDに誤りがあります。"), QStringLiteral("読者IDに誤りがあります。"),
                QStringLiteral("読者IDに誤りがあります。")}));
  EXPECT_FALSE(editMode());
  EXPECT_EQ(w.EID->text(), QString());

  enter(w.EID, QStringLiteral("7"));
  EXPECT_TRUE(editMode());
  EXPECT_EQ(w.EID->text(), QStringLiteral("    7"));
  EXPECT_EQ(w.LCflg->text(), QStringLiteral("新規登録"));
  EXPECT_TRUE(w.ENAME->text().isEmpty());
  EXPECT_TRUE(w.Badd->isEnabled());
  EXPECT_FALSE(w.Bdel->isEnabled());
  EXPECT_FALSE(w.BNxt->isEnabled());
}

TEST_F(ReaderWindowTest, FieldChecksNormaliseOrRefuse) {
  open();
  enter(w.EID, QStringLiteral("1"));
  enter(w.ESyoriKbn, QStringLiteral("2"));
  EXPECT_EQ(w.ESyoriKbn->text(), QString());
  enter(w.ESyoriKbn, QStringLiteral("1"));
  EXPECT_EQ(w.ESyoriKbn->text(), QStringLiteral(" 1"));
  EXPECT_EQ(w.LSyoriKbnMsg->text(), QStringLiteral("可"));
  enter(w.ESyoriKbn, QStringLiteral("0"));
  EXPECT_EQ(w.LSyoriKbnMsg->text(), QStringLiteral("不可"));

  enter(w.ENEXTSTORY, QStringLiteral("123456"));
  EXPECT_EQ(w.ENEXTSTORY->text(), QStringLiteral("23456"));
  enter(w.ENEXTSTORY, QStringLiteral("0"));
  EXPECT_EQ(w.ENEXTSTORY->text(), QStringLiteral("    0"));
  enter(w.ENEXTSTORY, QStringLiteral("x"));

  enter(w.ESNDFASTDATE, QString());
  EXPECT_EQ(w.ESNDFASTDATE->text(), QStringLiteral("00000000"));
  enter(w.ESNDFASTDATE, QStringLiteral("15"));
  EXPECT_EQ(w.ESNDFASTDATE->text(), QStringLiteral("20240515"));
  enter(w.ESNDLASTDATE, QStringLiteral("20240229"));
  EXPECT_EQ(w.ESNDLASTDATE->text(), QStringLiteral("20240229"));
  enter(w.ESNDLASTDATE, QStringLiteral("20230229"));
  enter(w.ETourokuDate, QStringLiteral("1131"));

  enter(w.ESNDFASTTIME, QStringLiteral("240000"));
  EXPECT_EQ(w.ESNDFASTTIME->text(), QStringLiteral("240000"));
  enter(w.ESNDFASTTIME, QString());
  EXPECT_EQ(w.ESNDFASTTIME->text(), QStringLiteral("000000"));
  enter(w.ESNDLASTTIME, QStringLiteral("126000"));
  enter(w.ETourokuTime, QStringLiteral("12345"));

  enter(w.EMAILADDRESS, QStringLiteral("  "));
  enter(w.EMAILADDRESS, QStringLiteral("ｙamada@example.com"));
  EXPECT_EQ(w.EMAILADDRESS->text(), QStringLiteral("ｙamada@example.com"));  // kept for correction
  enter(w.EMAILADDRESS, QString(60, QLatin1Char('a')));

  EXPECT_EQ(dialogs.texts(),
            (std::vector<QString>{
                QStringLiteral("送信区分に誤りがあります。"), QStringLiteral("次回ｽﾄｰﾘｰ番号に誤りがあります。"),
                QStringLiteral("前回送信日に誤りがあります。"), QStringLiteral("登録日に誤りがあります。"),
                QStringLiteral("前回送信時間に誤りがあります。"), QStringLiteral("登録時間に誤りがあります。"),
                QStringLiteral("メールアドレスを入力して下さい。"),
                QStringLiteral("メールアドレスに全角文字があります。\r\r半角文字で入力して下さい。")}));
}

TEST_F(ReaderWindowTest, SaveAsksFirstThenStoresTheFieldsAsChecked) {
  open();
  newReader("7");
  const std::string name = sj("　　O'Brien ①髙橋～");
  w.ENAME->setText(q(name));
  w.EBiko1->setText(q(sj("it's ㈱")));
  w.ETourokuDate->setText(QStringLiteral("0507"));

  dialogs.queueAnswer(MsgResult::No);
  w.BaddClick();
  EXPECT_TRUE(stored({"ID"}).empty());
  EXPECT_TRUE(editMode());

  w.BaddClick();
  EXPECT_EQ(dialogs.texts(),
            (std::vector<QString>{QStringLiteral("更新してもいいですか？"), QStringLiteral("更新してもいいですか？")}));
  EXPECT_EQ(dialogs.shown()[0].icon, MsgIcon::Warning);
  const auto rows = stored({"ID", "NAME", "SYORIKBN", "NEXTSTORY", "TOUROKUDATE", "SNDFASTDATE", "BIKO1"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "00007");
  EXPECT_EQ(rows[0][1], fitWidth(sj("O'Brien ①髙橋～"), 60));
  EXPECT_EQ(rows[0][2], "01");
  EXPECT_EQ(rows[0][3], "00001");
  EXPECT_EQ(rows[0][4], "20240507");
  EXPECT_EQ(rows[0][5], "00000000");
  EXPECT_EQ(trim(rows[0][6]), sj("it's ㈱"));

  EXPECT_FALSE(editMode());
  EXPECT_EQ(w.EID->text(), QStringLiteral("    7"));
  EXPECT_TRUE(w.ENAME->text().isEmpty());
  EXPECT_FALSE(w.Badd->isEnabled());
  EXPECT_TRUE(w.BClr->isEnabled());
  EXPECT_TRUE(w.Bend->isEnabled());

  w.FieldEnter(w.EID);  // the ID stays, so Enter loads the reader again
  EXPECT_EQ(w.LCflg->text(), QStringLiteral("修正中"));
  EXPECT_EQ(Sjis::fromQ(w.ENAME->text()), sj("O'Brien ①髙橋～"));
  EXPECT_EQ(Sjis::fromQ(w.EBiko1->text()), sj("it's ㈱"));
  EXPECT_EQ(w.ESyoriKbn->text(), QStringLiteral(" 1"));
  EXPECT_EQ(w.LSyoriKbnMsg->text(), QStringLiteral("可"));
  EXPECT_TRUE(w.Bdel->isEnabled());
}

TEST_F(ReaderWindowTest, SaveOfAStoredReaderUpdatesIt) {
  store(reader("00003", "a", "a@example.com"));
  store(reader("00004", "b", "b@example.com"));
  open();
  enter(w.EID, QStringLiteral("3"));
  w.ESyoriKbn->setText(QStringLiteral("0"));
  w.EMAILADDRESS->setText(QStringLiteral("new@example.com"));
  w.BaddClick();
  const auto rows = stored({"ID", "SYORIKBN", "MAILADDRESS", "SNDLASTTIME"});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1], "00");
  EXPECT_EQ(trim(rows[0][2]), "new@example.com");
  EXPECT_EQ(rows[0][3], "110000");
  EXPECT_EQ(trim(rows[1][2]), "b@example.com");
}

TEST_F(ReaderWindowTest, NextAndPreviousWalkInIdOrder) {
  for (const char* id : {"00010", "00009", "00011"}) store(reader(id, id, "x@example.com"));
  open();
  w.BNxtClick();
  EXPECT_EQ(w.EID->text(), QStringLiteral("    9"));
  EXPECT_EQ(w.ENAME->text(), QStringLiteral("00009"));
  EXPECT_TRUE(w.Bdel->isEnabled());
  EXPECT_FALSE(editMode());
  w.BNxtClick();
  w.BNxtClick();
  EXPECT_EQ(w.EID->text(), QStringLiteral("   11"));
  w.BNxtClick();
  EXPECT_EQ(w.EID->text(), QString());
  EXPECT_TRUE(w.ENAME->text().isEmpty());
  EXPECT_FALSE(w.Bdel->isEnabled());
  w.BBfrClick();
  EXPECT_EQ(w.EID->text(), QStringLiteral("   11"));
  w.BBfrClick();
  EXPECT_EQ(w.EID->text(), QStringLiteral("   10"));
  w.BClrClick();
  EXPECT_EQ(w.EID->text(), QString());
  EXPECT_TRUE(w.ENAME->text().isEmpty());
}

TEST_F(ReaderWindowTest, DeleteAfterConfirmation) {
  store(reader("00001", "a", "a@example.com"));
  store(reader("00002", "b", "b@example.com"));
  open();
  w.BNxtClick();
  dialogs.queueAnswer(MsgResult::No);
  w.BdelClick();
  EXPECT_EQ(stored({"ID"}).size(), 2u);
  w.BdelClick();
  EXPECT_EQ(dialogs.texts(), (std::vector<QString>{QStringLiteral("削除してもよろしいですか？"),
                                                   QStringLiteral("削除してもよろしいですか？")}));
  EXPECT_EQ(stored({"ID"}), (std::vector<std::vector<std::string>>{{"00002"}}));
  EXPECT_EQ(w.EID->text(), QStringLiteral("    1"));
  EXPECT_FALSE(w.Bdel->isEnabled());
  w.EID->clear();
  w.BdelClick();  // nothing to delete: no question
  EXPECT_EQ(dialogs.shown().size(), 2u);
}

TEST_F(ReaderWindowTest, FailedInsertShowsTheDatabaseTextAndReturnsToKeyEntry) {
  open();
  newReader("5");
  w.EMAILADDRESS->setText(QString(55, QLatin1Char('a')));  // accepted by the check, too long for the column
  w.BaddClick();
  ASSERT_EQ(dialogs.shown().size(), 2u);
  EXPECT_EQ(dialogs.shown()[1].icon, MsgIcon::Error);
  EXPECT_TRUE(dialogs.lastText().startsWith(QStringLiteral("INSERT 失敗 ")));
  EXPECT_TRUE(dialogs.lastText().contains(QStringLiteral("truncation")));
  EXPECT_EQ(w.LMsg->text(), dialogs.lastText());
  EXPECT_FALSE(editMode());
  EXPECT_EQ(w.EID->text(), QStringLiteral("    5"));
  EXPECT_TRUE(stored({"ID"}).empty());
}

TEST_F(ReaderWindowTest, FailedUpdateAndDeleteShowTheirPrefixes) {
  store(reader("00001", "a", "a@example.com"));
  refuseWrites(p, "USERLIST", "UPDATE");
  refuseWrites(p, "USERLIST", "DELETE");
  open();
  enter(w.EID, QStringLiteral("1"));
  w.ENAME->setText(QStringLiteral("changed"));
  w.BaddClick();
  EXPECT_TRUE(dialogs.lastText().startsWith(QStringLiteral("UPDATE 失敗 ")));
  EXPECT_TRUE(w.LMsg->text().contains(QStringLiteral("refused by test")));
  w.BNxtClick();  // from ID 1 to nothing; back again
  w.BBfrClick();
  w.BdelClick();
  EXPECT_TRUE(dialogs.lastText().startsWith(QStringLiteral("DELETE 失敗 ")));
  EXPECT_EQ(w.LMsg->text(), dialogs.lastText());
  EXPECT_EQ(trim(stored({"NAME"})[0][0]), "a");
}

TEST_F(ReaderWindowTest, SearchByNameListsHitsAndHandsTheChoiceBack) {
  for (int i = 1; i <= 40; ++i)
    store(reader(zeroFill(std::to_string(i), 5), sj(i % 2 ? "佐藤" : "鈴木") + std::to_string(100 + i),
                 "m" + std::to_string(100 + i) + "@example.com"));
  open();
  enter(w.EID, QStringLiteral("3"));  // edit mode is left by the search's lookup
  w.BClrClick();
  w.EID->setText(QStringLiteral("3"));
  QTimer::singleShot(0, &search, [this] {
    EXPECT_TRUE(search.EJyouKen->text().isEmpty());
    search.EJyouKen->setText(QStringLiteral("　鈴木 "));
    search.kensaku();
    EXPECT_EQ(search.EJyouKen->text(), QStringLiteral("鈴木"));
    EXPECT_EQ(search.Lhit->text(), QStringLiteral("対象 20件"));
    EXPECT_EQ(search.SG1->cell(0, 1), QStringLiteral("00002"));
    EXPECT_EQ(search.SG1->cell(2, 20).trimmed(), QStringLiteral("m140@example.com"));  // as stored, blank-padded
    EXPECT_FALSE(search.EJyouKen->isEnabled());
    search.SG1->setRow(3);
    search.BokClick();
  });
  w.BSarClick();
  EXPECT_EQ(w.EID->text(), QStringLiteral("    6"));
  EXPECT_TRUE(editMode());
  EXPECT_EQ(w.LCflg->text(), QStringLiteral("修正中"));
}

TEST_F(ReaderWindowTest, CancelledSearchRestoresTheId) {
  open();
  w.EID->setText(QStringLiteral("42"));
  QTimer::singleShot(0, &search, [this] {
    search.EJyouKen->setText(QStringLiteral("nobody"));
    search.kensaku();
    EXPECT_EQ(search.Lhit->text(), QString());
    EXPECT_TRUE(search.EJyouKen->isEnabled());
    EXPECT_FALSE(search.Bok->isEnabled());
    search.BEndClick();
  });
  w.BSarClick();
  EXPECT_EQ(w.EID->text(), QStringLiteral("42"));
  EXPECT_FALSE(editMode());
}

TEST_F(ReaderWindowTest, SearchGrowsTheGridAndSearchesAddressesAfterClear) {
  for (int i = 1; i <= 45; ++i)
    store(reader(zeroFill(std::to_string(i), 5), "n" + std::to_string(i), "a" + std::to_string(100 + i) + "@x.jp"));
  store(reader("00046", "", "b@x.jp"));
  search.SG_Clr();
  search.kensaku();  // an empty condition lists everyone by name
  EXPECT_EQ(search.Lhit->text(), QStringLiteral("対象 46件"));
  EXPECT_EQ(search.SG1->rowCount(), 47);
  EXPECT_EQ(search.SG1->cell(0, 1), QStringLiteral("00046"));  // the empty name sorts first

  search.BClrClick();
  EXPECT_TRUE(search.EJyouKen->isEnabled());
  EXPECT_EQ(search.SG1->cell(0, 1), QString());
  search.setItemIndex(1);
  search.EJyouKen->setText(QStringLiteral("a14"));
  search.kensaku();
  EXPECT_EQ(search.Lhit->text(), QStringLiteral("対象 6件"));
  EXPECT_EQ(search.SG1->cell(2, 1).trimmed(), QStringLiteral("a140@x.jp"));
  EXPECT_EQ(search.SG1->cell(0, 7), QString());
  search.SG1->setRow(7);
  search.BokClick();  // an empty row: nothing chosen
  EXPECT_EQ(search.result(), 0);
}

TEST_F(ReaderWindowTest, KeysDriveTheScreen) {
  store(reader("00012", "twelve", "t@example.com"));
  p.ctx().initReaders = 1;
  w.show();
  QApplication::setActiveWindow(&w);
  w.activate();
  w.EID->setFocus();
  QTest::keyClicks(w.EID, "1x2");
  EXPECT_EQ(w.EID->text(), QStringLiteral("12"));
  QTest::keyClick(w.EID, Qt::Key_Return);
  EXPECT_TRUE(editMode());
  EXPECT_EQ(QApplication::focusWidget(), w.ESyoriKbn);
  w.ESyoriKbn->clear();
  QTest::keyClicks(w.ESyoriKbn, "5");
  QTest::keyClick(w.ESyoriKbn, Qt::Key_Return);
  EXPECT_EQ(dialogs.lastText(), QStringLiteral("送信区分に誤りがあります。"));
  EXPECT_EQ(QApplication::focusWidget(), w.ESyoriKbn);
  QTest::keyClicks(w.ESyoriKbn, "1");
  QTest::keyClick(w.ESyoriKbn, Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), w.ENEXTSTORY);
  QTest::keyClick(w.ENEXTSTORY, Qt::Key_F2);  // disabled in edit mode
  EXPECT_TRUE(editMode());
  QTest::keyClick(w.ENEXTSTORY, Qt::Key_F6);
  EXPECT_FALSE(editMode());
  QTest::keyClick(w.EID, Qt::Key_F3);
  EXPECT_EQ(w.EID->text(), QStringLiteral("   12"));
  QTest::keyClick(w.EID, Qt::Key_F12);
  EXPECT_FALSE(w.isVisible());
}

}  // namespace
