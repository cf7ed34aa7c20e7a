#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <memory>

#include "controls/NavigatingEdit.h"
#include "controls/StripedGrid.h"
#include "core/Clock.h"
#include "core/ConsentStore.h"
#include "core/Sjis.h"
#include "core/ReaderStore.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "core/SendHistory.h"
#include "core/HistoryDialog.h"
#include "maintenance/ReaderWindow.h"
#include "maintenance/ReaderSearchDialog.h"
#include "tests/maintenance/Refuse.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

QString q(const std::string& cp932) { return Sjis::toQ(cp932); }

Reader reader(const std::string& id, const std::string& name, const std::string& address) {
  Reader r;
  r.id = std::stoi(id);
  r.address = address;
  r.registered = DateStamp(20240101, 90000);
  r.name = name;
  r.status = SendStatus::sendable;
  r.nextStory = 3;
  r.firstSent = DateStamp(20240102, 100000);
  r.lastSent = DateStamp(20240103, 110000);
  return r;
}

class ReaderWindowTest : public ::testing::Test {
 protected:
  ReaderWindowTest() : w(p.ctx()), search(p.ctx()) {
    p.ctx().setWindow(WindowId::ReaderSearch, &search);
    Clock::setFixedStamp("20240507120000");
  }
  ~ReaderWindowTest() override { Clock::setFixedStamp(""); }

  void store(const Reader& r) { ReaderStore(p.sql()).save(r); }
  void open() {
    w.prepare();
    w.activate();
  }
  void enter(NavigatingEdit* field, const QString& text) {
    field->setText(text);
    w.fieldEntered(field);
  }
  // Looks an ID up and fills every field with acceptable values.
  void newReader(const char* id) {
    enter(w.idEdit, QString::fromLatin1(id));
    w.statusEdit->setText(QStringLiteral("1"));
    w.nextStoryEdit->setText(QStringLiteral("1"));
    w.nameEdit->setText(QStringLiteral("山田"));
    w.addressEdit->setText(QStringLiteral("yamada@example.com"));
  }
  std::vector<std::vector<std::string>> stored(const std::vector<std::string>& columns) {
    return p.rows(" SELECT USERLIST.* FROM USERLIST ORDER BY ID", columns);
  }
  bool editMode() const { return !w.idEdit->isEnabled() && w.statusEdit->isEnabled() && w.remark3Edit->isEnabled(); }

  TestProgram p;
  ScriptedDialogs dialogs;
  ReaderWindow w;
  ReaderSearchDialog search;
};

TEST_F(ReaderWindowTest, IdChecksAndLookupOfANewReader) {
  open();
  enter(w.idEdit, QStringLiteral("0"));
  enter(w.idEdit, QStringLiteral("1a"));
  enter(w.idEdit, QStringLiteral("-1"));
  enter(w.idEdit, QStringLiteral("$1F"));  // a pasted hexadecimal number never becomes a key
  EXPECT_EQ(dialogs.texts(),
            (std::vector<QString>{
                QStringLiteral("読者IDにゼロは入力できません。"),
                QStringLiteral("読者IDに誤りがあります。"), QStringLiteral("読者IDに誤りがあります。"),
                QStringLiteral("読者IDに誤りがあります。")}));
  EXPECT_FALSE(editMode());
  EXPECT_EQ(w.idEdit->text(), QString());

  enter(w.idEdit, QStringLiteral("7"));
  EXPECT_TRUE(editMode());
  EXPECT_EQ(w.idEdit->text(), QStringLiteral("    7"));
  EXPECT_EQ(w.modeLabel->text(), QStringLiteral("新規登録"));
  EXPECT_TRUE(w.nameEdit->text().isEmpty());
  EXPECT_TRUE(w.saveButton->isEnabled());
  EXPECT_FALSE(w.deleteButton->isEnabled());
  EXPECT_FALSE(w.nextButton->isEnabled());
}

const QString kNoDomain =
    QStringLiteral("メールアドレスに誤りがあります。\r\r「@」の後ろのドメインには「.」が必要です（例: taro@example.com）。");

TEST_F(ReaderWindowTest, FieldChecksNormaliseOrRefuse) {
  open();
  enter(w.idEdit, QStringLiteral("1"));
  enter(w.statusEdit, QStringLiteral("2"));
  EXPECT_EQ(w.statusEdit->text(), QString());
  enter(w.statusEdit, QStringLiteral("1"));
  EXPECT_EQ(w.statusEdit->text(), QStringLiteral(" 1"));
  EXPECT_EQ(w.statusCaption->text(), QStringLiteral("可"));
  enter(w.statusEdit, QStringLiteral("0"));
  EXPECT_EQ(w.statusCaption->text(), QStringLiteral("不可"));

  enter(w.nextStoryEdit, QStringLiteral("123456"));
  EXPECT_EQ(w.nextStoryEdit->text(), QStringLiteral("23456"));
  enter(w.nextStoryEdit, QStringLiteral("0"));
  EXPECT_EQ(w.nextStoryEdit->text(), QStringLiteral("    0"));
  enter(w.nextStoryEdit, QStringLiteral("x"));

  // Dates and times are typed as digits or as shown, and shown as people read them.
  const QString none(QChar(0x2015));
  const std::pair<NavigatingEdit*, std::pair<QString, QString>> accepted[] = {
      {w.firstSentDateEdit, {QString(), none}},
      {w.firstSentDateEdit, {QStringLiteral("15"), QStringLiteral("2024/05/15")}},
      {w.lastSentDateEdit, {QStringLiteral("20240229"), QStringLiteral("2024/02/29")}},
      {w.lastSentDateEdit, {QStringLiteral("2026/12/09"), QStringLiteral("2026/12/09")}},
      {w.firstSentTimeEdit, {QStringLiteral("240000"), QStringLiteral("24:00:00")}},
      {w.firstSentTimeEdit, {QStringLiteral("08:00:00"), QStringLiteral("08:00:00")}},
      {w.firstSentTimeEdit, {none, none}},
  };
  for (const auto& [field, typedAndShown] : accepted) {
    enter(field, typedAndShown.first);
    EXPECT_EQ(field->text(), typedAndShown.second) << typedAndShown.first.toStdString();
  }
  enter(w.lastSentDateEdit, QStringLiteral("20230229"));
  enter(w.registeredDateEdit, QStringLiteral("1131"));

  enter(w.lastSentTimeEdit, QStringLiteral("126000"));
  enter(w.registeredTimeEdit, QStringLiteral("12345"));
  enter(w.firstSentTimeEdit, QStringLiteral("123460"));  // 60 seconds
  enter(w.lastSentTimeEdit, QStringLiteral("250000"));   // hour 25
  EXPECT_EQ(w.firstSentTimeEdit->text(), QString());
  EXPECT_EQ(w.lastSentTimeEdit->text(), QString());

  enter(w.addressEdit, QStringLiteral("  "));
  enter(w.addressEdit, QStringLiteral("ｙamada@example.com"));
  EXPECT_EQ(w.addressEdit->text(), QStringLiteral("ｙamada@example.com"));  // kept for correction
  const QString fifty = QString(45, QLatin1Char('a')) + QStringLiteral("@x.jp");
  enter(w.addressEdit, fifty);
  EXPECT_EQ(w.addressEdit->text(), fifty);
  enter(w.addressEdit, QLatin1Char('a') + fifty);
  // An address needs a dot in its domain.
  for (const char* wrong : {"yamada", "@example.com", "yamada@localhost", "yamada@example.", "yamada@.com"})
    enter(w.addressEdit, QString::fromLatin1(wrong));
  enter(w.addressEdit, QStringLiteral(" yamada@mail.example.co.jp "));
  EXPECT_EQ(w.addressEdit->text(), QStringLiteral("yamada@mail.example.co.jp"));

  EXPECT_EQ(dialogs.texts(),
            (std::vector<QString>{
                QStringLiteral("送信区分に誤りがあります。"), QStringLiteral("次回ｽﾄｰﾘｰ番号に誤りがあります。"),
                QStringLiteral("前回送信日に誤りがあります。"), QStringLiteral("登録日に誤りがあります。"),
                QStringLiteral("前回送信時間に誤りがあります。"), QStringLiteral("登録時間に誤りがあります。"),
                QStringLiteral("初回送信時間に誤りがあります。"), QStringLiteral("前回送信時間に誤りがあります。"),
                QStringLiteral("メールアドレスを入力して下さい。"),
                QStringLiteral("メールアドレスに全角文字があります。\r\r半角文字で入力して下さい。"),
                QStringLiteral("メールアドレスが長すぎます。\r\r半角50文字以内で入力して下さい。"),
                kNoDomain, kNoDomain, kNoDomain, kNoDomain, kNoDomain}));
}

// The columns hold bytes: 50 of the address, 60 of a name or remark, where a full-width
// character takes two. Typing stops at the width; a longer text set otherwise is refused
// with a message before anything reaches the database.
// Types each character as a key press carrying its text, as the input method delivers it.
void typeInto(QWidget* field, const QString& text) {
  for (QChar ch : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
    QApplication::sendEvent(field, &press);
  }
}

TEST_F(ReaderWindowTest, FieldsAreLimitedToTheBytesOfTheirColumns) {
  open();
  newReader("7");
  w.addressEdit->clear();
  const QString fifty = QString(45, QLatin1Char('a')) + QStringLiteral("@x.jp");
  typeInto(w.addressEdit, fifty + QStringLiteral("aaaaa"));
  EXPECT_EQ(w.addressEdit->text(), fifty);
  w.remark1Edit->clear();
  typeInto(w.remark1Edit, QString(31, QChar(0x3042)));  // あ
  EXPECT_EQ(w.remark1Edit->text(), QString(30, QChar(0x3042)));
  typeInto(w.remark1Edit, QStringLiteral("a"));
  EXPECT_EQ(w.remark1Edit->text().size(), 30);  // 60 bytes already
  w.nameEdit->clear();
  typeInto(w.nameEdit, QString(31, QChar(0x5C71)));  // 山
  EXPECT_EQ(w.nameEdit->text(), QString(30, QChar(0x5C71)));
  EXPECT_TRUE(dialogs.shown().empty());

  w.remark3Edit->setText(QString(31, QChar(0x3042)));
  w.save();
  w.fieldEntered(w.remark3Edit);
  EXPECT_EQ(dialogs.texts(), (std::vector<QString>(2, QStringLiteral("備考３が長すぎます。\r\r全角30文字（半角60文字）以内で入力して下さい。"))));
  EXPECT_TRUE(stored({"ID"}).empty());
  EXPECT_TRUE(editMode());

  w.remark3Edit->setText(QString(30, QChar(0x3042)));
  dialogs.queueAnswer(MsgResult::Yes);
  w.save();
  const auto rows = stored({"MAILADDRESS", "NAME", "BIKO1", "BIKO3"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], fifty.toStdString());
  EXPECT_EQ(rows[0][1], Sjis::fromQ(QString(30, QChar(0x5C71))));
  EXPECT_EQ(rows[0][2], Sjis::fromQ(QString(30, QChar(0x3042))));
  EXPECT_EQ(rows[0][3], Sjis::fromQ(QString(30, QChar(0x3042))));
}

TEST_F(ReaderWindowTest, SaveAsksFirstThenStoresTheFieldsAsChecked) {
  open();
  newReader("7");
  const std::string name = sj("　　O'Brien ①髙橋～");
  w.nameEdit->setText(q(name));
  w.remark1Edit->setText(q(sj("it's ㈱")));
  w.registeredDateEdit->setText(QStringLiteral("0507"));

  dialogs.queueAnswer(MsgResult::No);
  w.save();
  EXPECT_TRUE(stored({"ID"}).empty());
  EXPECT_TRUE(editMode());

  w.save();
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
  EXPECT_EQ(w.idEdit->text(), QStringLiteral("    7"));
  EXPECT_TRUE(w.nameEdit->text().isEmpty());
  EXPECT_FALSE(w.saveButton->isEnabled());
  EXPECT_TRUE(w.clearButton->isEnabled());
  EXPECT_TRUE(w.closeButton->isEnabled());

  w.fieldEntered(w.idEdit);  // the ID stays, so Enter loads the reader again
  EXPECT_EQ(w.modeLabel->text(), QStringLiteral("修正中"));
  EXPECT_EQ(Sjis::fromQ(w.nameEdit->text()), sj("O'Brien ①髙橋～"));
  EXPECT_EQ(Sjis::fromQ(w.remark1Edit->text()), sj("it's ㈱"));
  EXPECT_EQ(w.statusEdit->text(), QStringLiteral(" 1"));
  EXPECT_EQ(w.statusCaption->text(), QStringLiteral("可"));
  EXPECT_TRUE(w.deleteButton->isEnabled());
}

TEST_F(ReaderWindowTest, SaveOfAStoredReaderUpdatesIt) {
  store(reader("00003", "a", "a@example.com"));
  store(reader("00004", "b", "b@example.com"));
  open();
  enter(w.idEdit, QStringLiteral("3"));
  w.statusEdit->setText(QStringLiteral("0"));
  w.addressEdit->setText(QStringLiteral("new@example.com"));
  w.save();
  const auto rows = stored({"ID", "SYORIKBN", "MAILADDRESS", "SNDLASTTIME"});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1], "00");
  EXPECT_EQ(trim(rows[0][2]), "new@example.com");
  EXPECT_EQ(rows[0][3], "110000");
  EXPECT_EQ(trim(rows[1][2]), "b@example.com");
}

TEST_F(ReaderWindowTest, AnotherReadersAddressIsRefusedInAnyLetterCase) {
  store(reader("00012", "taro", "Taro@Example.com"));
  store(reader("00003", "o", "o'neil@example.com"));
  open();
  newReader("7");
  w.addressEdit->setText(QStringLiteral("  taro@EXAMPLE.com "));
  w.save();
  EXPECT_TRUE(dialogs.shown().empty());  // refused before the question
  EXPECT_EQ(w.messageLine->text(), QStringLiteral("このメールアドレスは読者ID 00012 で登録済みです。"));
  EXPECT_TRUE(editMode());
  EXPECT_EQ(w.addressEdit->text(), QStringLiteral("taro@EXAMPLE.com"));
  EXPECT_EQ(w.addressEdit->selectedText(), w.addressEdit->text());
  EXPECT_EQ(stored({"ID"}).size(), 2u);

  // Enter in the field checks as well; the address goes to the engine as a value only.
  enter(w.addressEdit, QStringLiteral("O'Neil@example.com"));
  EXPECT_EQ(w.messageLine->text(), QStringLiteral("このメールアドレスは読者ID 00003 で登録済みです。"));
  EXPECT_EQ(p.ctx().query.commandText().find("Neil"), std::string::npos) << p.ctx().query.commandText();

  enter(w.addressEdit, QStringLiteral("jiro@example.com"));
  EXPECT_TRUE(w.messageLine->text().isEmpty());
  w.save();
  EXPECT_EQ(w.messageLine->text(), QStringLiteral("登録しました。"));
  EXPECT_EQ(stored({"ID"}).size(), 3u);
}

TEST_F(ReaderWindowTest, AReaderKeepsItsOwnAddressInAnotherCase) {
  store(reader("00012", "taro", "Taro@Example.com"));
  open();
  enter(w.idEdit, QStringLiteral("12"));
  w.addressEdit->setText(QStringLiteral("TARO@example.com"));
  w.nameEdit->setText(QStringLiteral("Taro"));
  w.save();
  EXPECT_EQ(w.messageLine->text(), QStringLiteral("登録しました。"));
  EXPECT_EQ(stored({"NAME", "MAILADDRESS"}),
            (std::vector<std::vector<std::string>>{{fitWidth("Taro", 60), fitWidth("TARO@example.com", 50)}}));
}

TEST_F(ReaderWindowTest, NextAndPreviousWalkInIdOrder) {
  for (const char* id : {"00010", "00009", "00011"}) store(reader(id, id, "x@example.com"));
  open();
  w.showNext();
  EXPECT_EQ(w.idEdit->text(), QStringLiteral("    9"));
  EXPECT_EQ(w.nameEdit->text(), QStringLiteral("00009"));
  EXPECT_TRUE(w.deleteButton->isEnabled());
  EXPECT_FALSE(editMode());
  w.showNext();
  w.showNext();
  EXPECT_EQ(w.idEdit->text(), QStringLiteral("   11"));
  w.showNext();
  EXPECT_EQ(w.idEdit->text(), QString());
  EXPECT_TRUE(w.nameEdit->text().isEmpty());
  EXPECT_FALSE(w.deleteButton->isEnabled());
  w.showPrevious();
  EXPECT_EQ(w.idEdit->text(), QStringLiteral("   11"));
  w.showPrevious();
  EXPECT_EQ(w.idEdit->text(), QStringLiteral("   10"));
  w.clearScreen();
  EXPECT_EQ(w.idEdit->text(), QString());
  EXPECT_TRUE(w.nameEdit->text().isEmpty());
}

TEST_F(ReaderWindowTest, DeleteAfterConfirmation) {
  store(reader("00001", "a", "a@example.com"));
  store(reader("00002", "b", "b@example.com"));
  open();
  w.showNext();
  dialogs.queueAnswer(MsgResult::No);
  w.deleteReader();
  EXPECT_EQ(stored({"ID"}).size(), 2u);
  w.deleteReader();
  EXPECT_EQ(dialogs.texts(), (std::vector<QString>{QStringLiteral("削除してもよろしいですか？"),
                                                   QStringLiteral("削除してもよろしいですか？")}));
  EXPECT_EQ(stored({"ID"}), (std::vector<std::vector<std::string>>{{"00002"}}));
  EXPECT_EQ(w.idEdit->text(), QStringLiteral("    1"));
  EXPECT_FALSE(w.deleteButton->isEnabled());
  w.idEdit->clear();
  w.deleteReader();  // nothing to delete: no question
  EXPECT_EQ(dialogs.shown().size(), 2u);
}

TEST_F(ReaderWindowTest, FailedInsertShowsTheDatabaseTextAndReturnsToKeyEntry) {
  refuseWrites(p, "USERLIST", "INSERT");
  open();
  newReader("5");
  w.save();
  ASSERT_EQ(dialogs.shown().size(), 2u);
  EXPECT_EQ(dialogs.shown()[1].icon, MsgIcon::Error);
  EXPECT_TRUE(dialogs.lastText().startsWith(QStringLiteral("INSERT 失敗 ")));
  EXPECT_TRUE(dialogs.lastText().contains(QStringLiteral("refused by test")));
  EXPECT_EQ(w.messageLine->text(), dialogs.lastText());
  EXPECT_FALSE(editMode());
  EXPECT_EQ(w.idEdit->text(), QStringLiteral("    5"));
  EXPECT_TRUE(stored({"ID"}).empty());
}

TEST_F(ReaderWindowTest, FailedUpdateAndDeleteShowTheirPrefixes) {
  store(reader("00001", "a", "a@example.com"));
  refuseWrites(p, "USERLIST", "UPDATE");
  refuseWrites(p, "USERLIST", "DELETE");
  open();
  enter(w.idEdit, QStringLiteral("1"));
  w.nameEdit->setText(QStringLiteral("changed"));
  w.save();
  EXPECT_TRUE(dialogs.lastText().startsWith(QStringLiteral("UPDATE 失敗 ")));
  EXPECT_TRUE(w.messageLine->text().contains(QStringLiteral("refused by test")));
  w.showNext();  // from ID 1 to nothing; back again
  w.showPrevious();
  w.deleteReader();
  EXPECT_TRUE(dialogs.lastText().startsWith(QStringLiteral("DELETE 失敗 ")));
  EXPECT_EQ(w.messageLine->text(), dialogs.lastText());
  EXPECT_EQ(trim(stored({"NAME"})[0][0]), "a");
}

TEST_F(ReaderWindowTest, SearchByNameListsHitsAndHandsTheChoiceBack) {
  for (int i = 1; i <= 40; ++i)
    store(reader(zeroFill(std::to_string(i), 5), sj(i % 2 ? "佐藤" : "鈴木") + std::to_string(100 + i),
                 "m" + std::to_string(100 + i) + "@example.com"));
  open();
  enter(w.idEdit, QStringLiteral("3"));  // edit mode is left by the search's lookup
  w.clearScreen();
  w.idEdit->setText(QStringLiteral("3"));
  QTimer::singleShot(0, &search, [this] {
    EXPECT_TRUE(search.conditionEdit->text().isEmpty());
    search.conditionEdit->setText(QStringLiteral("　鈴木 "));
    search.search();
    EXPECT_EQ(search.conditionEdit->text(), QStringLiteral("鈴木"));
    EXPECT_EQ(search.hitCountLabel->text(), QStringLiteral("対象 20件"));
    EXPECT_EQ(search.resultGrid->cell(0, 1), QStringLiteral("00002"));
    EXPECT_EQ(search.resultGrid->cell(2, 20).trimmed(), QStringLiteral("m140@example.com"));  // as stored, blank-padded
    EXPECT_FALSE(search.conditionEdit->isEnabled());
    search.resultGrid->setRow(3);
    search.choose();
  });
  w.searchReader();
  EXPECT_EQ(w.idEdit->text(), QStringLiteral("    6"));
  EXPECT_TRUE(editMode());
  EXPECT_EQ(w.modeLabel->text(), QStringLiteral("修正中"));
}

TEST_F(ReaderWindowTest, SearchOpensListingTheNewestReaders) {
  const int registered[] = {20240101, 20240301, 20231231};
  for (int i = 0; i < 3; ++i) {
    Reader r = reader("0000" + std::to_string(i + 1), "n", "a" + std::to_string(i) + "@x.jp");
    r.registered = DateStamp(registered[i], 0);
    store(r);
  }
  open();
  QTimer::singleShot(0, &search, [this] {
    EXPECT_EQ(search.hitCountLabel->text(), QStringLiteral("最近の登録 3件"));
    for (const auto& [row, id] : {std::pair{1, "00002"}, {2, "00001"}, {3, "00003"}})
      EXPECT_EQ(search.resultGrid->cell(0, row), QString::fromLatin1(id));
    EXPECT_EQ(search.resultGrid->cell(3, 1), QStringLiteral("2024/03/01"));
    search.choose();
  });
  w.searchReader();
  EXPECT_EQ(w.idEdit->text(), QStringLiteral("    2"));
}

TEST_F(ReaderWindowTest, CancelledSearchRestoresTheId) {
  open();
  w.idEdit->setText(QStringLiteral("42"));
  QTimer::singleShot(0, &search, [this] {
    search.conditionEdit->setText(QStringLiteral("nobody"));
    search.search();
    EXPECT_EQ(search.hitCountLabel->text(), QString());
    EXPECT_TRUE(search.conditionEdit->isEnabled());
    EXPECT_FALSE(search.chooseButton->isEnabled());
    search.cancel();
  });
  w.searchReader();
  EXPECT_EQ(w.idEdit->text(), QStringLiteral("42"));
  EXPECT_FALSE(editMode());
}

TEST_F(ReaderWindowTest, SearchGrowsTheGridAndSearchesAddressesAfterClear) {
  for (int i = 1; i <= 45; ++i)
    store(reader(zeroFill(std::to_string(i), 5), "n" + std::to_string(i), "a" + std::to_string(100 + i) + "@x.jp"));
  store(reader("00046", "", "b@x.jp"));
  search.clearResults();
  search.search();  // an empty condition lists everyone by name
  EXPECT_EQ(search.hitCountLabel->text(), QStringLiteral("対象 46件"));
  EXPECT_EQ(search.resultGrid->rowCount(), 47);
  EXPECT_EQ(search.resultGrid->cell(0, 1), QStringLiteral("00046"));  // the empty name sorts first

  search.clearScreen();
  EXPECT_TRUE(search.conditionEdit->isEnabled());
  EXPECT_EQ(search.resultGrid->cell(0, 1), QString());
  search.setSearchBy(ReaderSearchBy::Address);
  search.conditionEdit->setText(QStringLiteral("a14"));
  search.search();
  EXPECT_EQ(search.hitCountLabel->text(), QStringLiteral("対象 6件"));
  EXPECT_EQ(search.resultGrid->cell(2, 1).trimmed(), QStringLiteral("a140@x.jp"));
  EXPECT_EQ(search.resultGrid->cell(0, 7), QString());
  search.resultGrid->setRow(7);
  search.choose();  // an empty row: nothing chosen
  EXPECT_EQ(search.result(), 0);
}

TEST_F(ReaderWindowTest, EnterOnAnEmptyIdProposesTheNextFreeOneWithNewReaderDefaults) {
  open();
  enter(w.idEdit, QString());
  EXPECT_TRUE(editMode());
  EXPECT_EQ(w.idEdit->text(), QStringLiteral("    1"));
  EXPECT_EQ(w.modeLabel->text(), QStringLiteral("新規登録"));
  // Sendable, from the first story, registered now: saved as they stand.
  EXPECT_EQ(w.statusEdit->text(), QStringLiteral(" 1"));
  EXPECT_EQ(w.statusCaption->text(), QStringLiteral("可"));
  EXPECT_EQ(w.nextStoryEdit->text(), QStringLiteral("    1"));
  EXPECT_EQ(w.registeredDateEdit->text(), QStringLiteral("2024/05/07"));
  EXPECT_EQ(w.registeredTimeEdit->text(), QStringLiteral("12:00:00"));
  EXPECT_EQ(w.messageLine->text(), QStringLiteral("読者IDが空欄のため、新しい読者を読者ID 1 で登録します。"));
  w.nameEdit->setText(QStringLiteral("山田"));
  w.addressEdit->setText(QStringLiteral("yamada@example.com"));
  w.save();
  EXPECT_EQ(stored({"ID", "SYORIKBN", "NEXTSTORY", "TOUROKUDATE", "TOUROKUTIME", "SNDFASTDATE"}),
            (std::vector<std::vector<std::string>>{{"00001", "01", "00001", "20240507", "120000", "00000000"}}));

  store(reader("00041", "a", "a@example.com"));
  w.clearScreen();
  enter(w.idEdit, QString());
  EXPECT_EQ(w.idEdit->text(), QStringLiteral("   42"));
  EXPECT_TRUE(w.nameEdit->text().isEmpty());

  // Past the last five-digit ID nothing is proposed.
  store(reader("99999", "z", "z@example.com"));
  w.clearScreen();
  dialogs.clear();
  enter(w.idEdit, QString());
  EXPECT_FALSE(editMode());
  EXPECT_EQ(dialogs.texts(), std::vector<QString>{QStringLiteral("読者IDを入力して下さい。")});
}

TEST_F(ReaderWindowTest, FieldsAreAsWideAsTheirContent) {
  const QFontMetrics fm = w.idEdit->fontMetrics();
  const std::pair<NavigatingEdit*, QString> widest[] = {
      {w.idEdit, QStringLiteral("99999")},
      {w.statusEdit, QStringLiteral("99")},
      {w.registeredDateEdit, QStringLiteral("20241231")},
      {w.nameEdit, QString(30, QChar(0x5C71))},  // 山: 60 bytes
      {w.addressEdit, QString(50, QLatin1Char('n'))},
      {w.remark1Edit, QString(30, QChar(0x3042))},
  };
  for (const auto& [field, text] : widest) {
    const int needed = fm.horizontalAdvance(text);
    EXPECT_GE(field->width(), needed) << field->objectName().toStdString();
    EXPECT_LE(field->width(), needed + 40) << field->objectName().toStdString();
  }
  EXPECT_LT(w.idEdit->width() * 4, w.nameEdit->width());
}

// The darkest pixel of a field as the operator sees it.
int darkestLightness(QWidget* field) {
  const QImage image = field->grab().toImage();
  int darkest = 255;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) darkest = std::min(darkest, QColor(image.pixel(x, y)).lightness());
  return darkest;
}

TEST_F(ReaderWindowTest, BrowsedValuesAreReadableNotGreyedOut) {
  store(reader("00001", "WWWWWW", "w@example.com"));
  open();
  w.show();
  w.showNext();
  ASSERT_FALSE(w.nameEdit->isEnabled());
  QLineEdit editable;
  editable.setText(w.nameEdit->text());
  editable.resize(w.nameEdit->size());
  QLineEdit greyed;
  greyed.setText(w.nameEdit->text());
  greyed.resize(w.nameEdit->size());
  greyed.setEnabled(false);
  EXPECT_LE(darkestLightness(w.nameEdit), darkestLightness(&editable) + 10);
  EXPECT_LT(darkestLightness(w.nameEdit) + 40, darkestLightness(&greyed));
}

TEST_F(ReaderWindowTest, UnsavedEditsAreConfirmedBeforeClosingAndASaveIsConfirmed) {
  open();
  w.show();
  // Looking a reader up and browsing change nothing: the end key closes at once.
  enter(w.idEdit, QStringLiteral("7"));
  w.closeWindow();
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(dialogs.shown().empty());

  w.show();
  typeInto(w.nameEdit, QStringLiteral("山田"));
  w.addressEdit->setText(QStringLiteral("yamada@example.com"));
  dialogs.queueAnswer(MsgResult::No);
  QTest::keyClick(w.nameEdit, Qt::Key_F12);
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(editMode());
  EXPECT_EQ(dialogs.texts(), std::vector<QString>{QStringLiteral("変更を保存せずに閉じますか？")});

  w.save();
  EXPECT_EQ(w.messageLine->text(), QStringLiteral("登録しました。"));
  EXPECT_EQ(stored({"ID"}).size(), 1u);
  dialogs.clear();
  w.closeWindow();
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(dialogs.shown().empty());

  // Yes throws the edits away.
  w.show();
  enter(w.idEdit, QStringLiteral("7"));
  EXPECT_TRUE(w.messageLine->text().isEmpty());
  typeInto(w.remark1Edit, QStringLiteral("x"));
  w.closeWindow();
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(dialogs.texts(), std::vector<QString>{QStringLiteral("変更を保存せずに閉じますか？")});
  EXPECT_TRUE(trim(stored({"BIKO1"})[0][0]).empty());
}

TEST_F(ReaderWindowTest, ClearKeyAsksBeforeDiscardingEditsStartingOnNo) {
  open();
  w.show();
  enter(w.idEdit, QStringLiteral("7"));
  typeInto(w.remark1Edit, QStringLiteral("x"));
  dialogs.queueAnswer(MsgResult::No);
  QTest::keyClick(w.remark1Edit, Qt::Key_F6);
  EXPECT_EQ(w.remark1Edit->text(), QStringLiteral("x"));
  QTest::keyClick(w.remark1Edit, Qt::Key_F6);  // Yes
  EXPECT_FALSE(editMode());
  EXPECT_EQ(dialogs.texts(), std::vector<QString>(2, QStringLiteral("変更を保存せずに画面をクリアしますか？")));
  EXPECT_EQ(dialogs.shown()[0].buttons, MsgButtons::YesNoDefaultNo);
}

TEST_F(ReaderWindowTest, KeysDriveTheScreen) {
  store(reader("00012", "twelve", "t@example.com"));
  w.prepare();
  w.show();
  QApplication::setActiveWindow(&w);
  w.activate();
  w.idEdit->setFocus();
  typeInto(w.idEdit, "1x2");
  EXPECT_EQ(w.idEdit->text(), QStringLiteral("12"));
  QTest::keyClick(w.idEdit, Qt::Key_Return);
  EXPECT_TRUE(editMode());
  EXPECT_EQ(QApplication::focusWidget(), w.statusEdit);
  w.statusEdit->clear();
  typeInto(w.statusEdit, "5");
  QTest::keyClick(w.statusEdit, Qt::Key_Return);
  EXPECT_EQ(dialogs.lastText(), QStringLiteral("送信区分に誤りがあります。"));
  EXPECT_EQ(QApplication::focusWidget(), w.statusEdit);
  typeInto(w.statusEdit, "1");
  QTest::keyClick(w.statusEdit, Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), w.nextStoryEdit);
  QTest::keyClick(w.nextStoryEdit, Qt::Key_F2);  // disabled in edit mode
  EXPECT_TRUE(editMode());
  QTest::keyClick(w.nextStoryEdit, Qt::Key_F6);
  EXPECT_FALSE(editMode());
  QTest::keyClick(w.idEdit, Qt::Key_F3);
  EXPECT_EQ(w.idEdit->text(), QStringLiteral("   12"));
  QTest::keyClick(w.idEdit, Qt::Key_F12);
  EXPECT_FALSE(w.isVisible());
}

// A new reader records its consent, typed by hand when saved; an edited one keeps what
// it has (here, from an older database, nothing). The window shows the line.
TEST_F(ReaderWindowTest, ANewReaderRecordsItsConsentAndAnEditedOneKeepsIt) {
  store(reader("5", "Old", "old@example.com"));
  open();
  enter(w.idEdit, QStringLiteral("5"));
  EXPECT_EQ(w.consentLabel->text(), QStringLiteral("同意: 記録なし"));
  w.save();
  newReader("7");
  w.save();
  EXPECT_EQ(ConsentStore(p.sql()).newestOfEach().size(), 1u) << "only the new reader has a record";
  enter(w.idEdit, QStringLiteral("7"));
  EXPECT_EQ(w.consentLabel->text(), QStringLiteral("同意: 手入力 2024/05/07 12:00:00"));
}

}  // namespace

// F4 shows the stored reader's own history, oldest first, or says there is none; it
// needs a stored reader on the screen.
TEST_F(ReaderWindowTest, F4ShowsTheReadersSendHistory) {
  store(reader("00007", sj("山田"), "yamada@example.com"));
  store(reader("00008", sj("鈴木"), "suzuki@example.com"));
  store(reader("00001", "one", "one@example.com"));  // no history
  HistoryStore history(p.sql());
  history.add({7, 2, DateStamp(20261202, 90000), SendOutcome::deferred, "450 4.2.1", "mailbox busy", "B"});
  history.add({8, 2, DateStamp(20261202, 90001), SendOutcome::sent, "250 2.0.0", "ok", "B"});
  history.add({7, 3, DateStamp(20261203, 70000), SendOutcome::refused, "550 5.1.1", sj("不明"), "C"});
  w.prepare();
  w.show();  // function keys reach a visible window
  w.activate();
  newReader("9");
  EXPECT_FALSE(w.historyButton->isEnabled()) << "a reader not yet stored has no history";

  const std::vector<QStringList> expected = {{"2026/12/02 09:00:00", "2", "保留", "450 4.2.1", "mailbox busy"},
                                             {"2026/12/03 07:00:00", "3", "宛先不明で停止", "550 5.1.1", "不明"}};
  for (const char* id : {"7", "1"}) {
    w.clearScreen();
    enter(w.idEdit, QString::fromLatin1(id));
    QTest::keyClick(w.statusEdit, Qt::Key_F4);
    std::unique_ptr<HistoryDialog> dialog(w.findChild<HistoryDialog*>());
    ASSERT_TRUE(dialog);
    std::vector<QStringList> rows(static_cast<size_t>(dialog->table->rowCount()));
    for (size_t r = 0; r < rows.size(); ++r)
      for (int col = 0; col < dialog->table->columnCount(); ++col) rows[r] << dialog->table->item(int(r), col)->text();
    EXPECT_EQ(rows, id[0] == '7' ? expected : std::vector<QStringList>{});
    EXPECT_EQ(dialog->note->text(), id[0] == '7' ? QString() : QStringLiteral("履歴はありません。"));
  }
}
