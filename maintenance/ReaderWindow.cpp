#include "maintenance/ReaderWindow.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <functional>

#include "controls/NavigatingEdit.h"
#include "core/AppContext.h"
#include "core/Dialogs.h"
#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "maintenance/FieldCheck.h"
#include "maintenance/WindowParts.h"
#include "core/InformationPanel.h"
#include "maintenance/ReaderSearchDialog.h"
#include "maintenance/ReaderBook.h"

namespace {

const NumberMessages kIdMessages{QStringLiteral("読者IDを入力して下さい。"), QStringLiteral("読者IDに誤りがあります。"),
                                 QStringLiteral("読者IDにゼロは入力できません。")};
const NumberMessages kStatusMessages{QStringLiteral("送信区分を入力して下さい。"),
                                     QStringLiteral("送信区分に誤りがあります。"), QString()};
const NumberMessages kNextStoryMessages{QStringLiteral("次回ｽﾄｰﾘｰ番号を入力して下さい。"),
                                        QStringLiteral("次回ｽﾄｰﾘｰ番号に誤りがあります。"), QString()};

// One edit box of the screen: its label, length limit, whether only digits can be typed
// and whether the Japanese input method opens in it.
struct FieldSpec {
  NavigatingEdit* ReaderWindow::*member;
  const char* name;
  QString label;
  int maxLength;
  bool numOnly;
  bool japanese;
};

}  // namespace

ReaderWindow::ReaderWindow(AppContext& ctx, QWidget* parent) : WindowBase(ctx, parent) {
  setWindowTitle(QStringLiteral("クオル 読者マスターメンテナンス"));
  resize(820, 560);
  auto* layout = new QVBoxLayout(this);

  const FieldSpec specs[] = {
      {&ReaderWindow::EID, "EID", QStringLiteral("読者ID"), 5, true, false},
      {&ReaderWindow::ESyoriKbn, "ESyoriKbn", QStringLiteral("送信区分"), 2, true, false},
      {&ReaderWindow::ENEXTSTORY, "ENEXTSTORY", QStringLiteral("次回ｽﾄｰﾘｰ番号"), 8, false, false},
      {&ReaderWindow::ENAME, "ENAME", QStringLiteral("読者名"), 60, false, true},
      {&ReaderWindow::EMAILADDRESS, "EMAILADDRESS", QStringLiteral("メールアドレス"), 60, false, false},
      {&ReaderWindow::ESNDFASTDATE, "ESNDFASTDATE", QStringLiteral("初回送信日"), 8, true, false},
      {&ReaderWindow::ESNDFASTTIME, "ESNDFASTTIME", QStringLiteral("初回送信時間"), 6, true, false},
      {&ReaderWindow::ESNDLASTDATE, "ESNDLASTDATE", QStringLiteral("前回送信日"), 8, true, false},
      {&ReaderWindow::ESNDLASTTIME, "ESNDLASTTIME", QStringLiteral("前回送信時間"), 6, true, false},
      {&ReaderWindow::ETourokuDate, "ETourokuDate", QStringLiteral("登録日"), 8, true, false},
      {&ReaderWindow::ETourokuTime, "ETourokuTime", QStringLiteral("登録時間"), 6, true, false},
      {&ReaderWindow::EBiko1, "EBiko1", QStringLiteral("備考１"), 60, false, true},
      {&ReaderWindow::EBiko2, "EBiko2", QStringLiteral("備考２"), 60, false, true},
      {&ReaderWindow::EBiko3, "EBiko3", QStringLiteral("備考３"), 60, false, true},
  };
  auto* grid = new QGridLayout;
  int row = 0;
  for (const FieldSpec& f : specs) {
    auto* e = new NavigatingEdit(this);
    e->setObjectName(QString::fromLatin1(f.name));
    e->setMaxLength(f.maxLength);
    e->digitsOnly = f.numOnly;
    FormParts::setInputMethodOpen(e, f.japanese);
    this->*f.member = e;
    grid->addWidget(new QLabel(f.label, this), row, 0);
    grid->addWidget(e, row, 1);
    connect(e, &NavigatingEdit::keyPressed, this, [this, e](int ch) {
      if (ch == 13) FormParts::runGuarded([this, e] { FieldEnter(e); });
    });
    ++row;
  }
  LCflg = new QLabel(this);
  LCflg->setObjectName(QStringLiteral("LCflg"));
  grid->addWidget(LCflg, 0, 2);
  LSyoriKbnMsg = new QLabel(this);
  LSyoriKbnMsg->setObjectName(QStringLiteral("LSyoriKbnMsg"));
  LSyoriKbnMsg->setStyleSheet(QStringLiteral("color: blue"));
  auto* statusHint = new QHBoxLayout;
  statusHint->addWidget(LSyoriKbnMsg);
  statusHint->addWidget(new QLabel(QStringLiteral("０：送信不可　１：送信可　"), this));
  statusHint->addStretch(1);
  grid->addLayout(statusHint, 1, 2);
  grid->setColumnStretch(1, 1);
  layout->addLayout(grid);

  // The data fields come first in tab order, the ID after them.
  const std::array<NavigatingEdit*, 13> data = dataFields();
  for (size_t i = 0; i + 1 < data.size(); ++i) setTabOrder(data[i], data[i + 1]);
  setTabOrder(data.back(), EID);

  auto* bottom = new QHBoxLayout;
  LMsg = new QLabel(this);
  LMsg->setObjectName(QStringLiteral("LMsg"));
  bottom->addWidget(LMsg, 1);
  bottom->addWidget(makeInformationPanel(this));
  layout->addLayout(bottom);

  const auto bar = FormParts::makeFunctionBar(
      this, layout, {"Badd", "BNxt", "BBfr", "B4", "B5", "BClr", "B7", "Bdel", "B9", "BSar", "B11", "Bend"},
      {QStringLiteral("登 録"), QStringLiteral("次"), QStringLiteral("前"), QStringLiteral("F-4"), QStringLiteral("F5"),
       QStringLiteral("クリア"), QStringLiteral("F-7"), QStringLiteral("削 除"), QStringLiteral("F-9"),
       QStringLiteral("検 索"), QStringLiteral("F-11"), QStringLiteral("終了")});
  Badd = bar[0];
  BNxt = bar[1];
  BBfr = bar[2];
  BClr = bar[5];
  Bdel = bar[7];
  BSar = bar[9];
  Bend = bar[11];
  setFunctionButtons(bar);

  FormParts::connectGuarded(Badd, this, &ReaderWindow::BaddClick);
  FormParts::connectGuarded(BNxt, this, &ReaderWindow::BNxtClick);
  FormParts::connectGuarded(BBfr, this, &ReaderWindow::BBfrClick);
  FormParts::connectGuarded(BClr, this, &ReaderWindow::BClrClick);
  FormParts::connectGuarded(Bdel, this, &ReaderWindow::BdelClick);
  FormParts::connectGuarded(BSar, this, &ReaderWindow::BSarClick);
  FormParts::connectGuarded(Bend, this, &ReaderWindow::BendClick);

  Data_Clear();
  Data_Enabled(false);
}

std::array<NavigatingEdit*, 13> ReaderWindow::dataFields() const {
  return {ESyoriKbn,    ENEXTSTORY,   ENAME,        EMAILADDRESS, ESNDFASTDATE, ESNDFASTTIME, ESNDLASTDATE,
          ESNDLASTTIME, ETourokuDate, ETourokuTime, EBiko1,       EBiko2,       EBiko3};
}

std::string ReaderWindow::text(const NavigatingEdit* field) const { return Sjis::fromQ(field->text()); }
void ReaderWindow::setText(NavigatingEdit* field, const std::string& value) { field->setText(Sjis::toQ(value)); }

void ReaderWindow::focusId() {
  EID->selectAll();
  EID->setFocus();
}

void ReaderWindow::activate() {
  if (!m_ctx.initReaders) return;
  m_ctx.initReaders = 0;
  Data_Clear();
  Data_Enabled(false);
  EID->clear();
  EID->setFocus();
}

// ---- checks -------------------------------------------------------------------------

bool ReaderWindow::take(NavigatingEdit* field, const FieldCheck& check, bool focusOnlyIfEnabled) {
  if (check.ok) {
    setText(field, check.text);
    return true;
  }
  showMessage(check.message);
  field->clear();
  if (!focusOnlyIfEnabled || field->isEnabled()) field->setFocus();
  return false;
}

bool ReaderWindow::checkAddress() {
  const std::string address = trim(text(EMAILADDRESS));
  if (address.empty()) {
    showMessage(QStringLiteral("メールアドレスを入力して下さい。"));
    EMAILADDRESS->setFocus();
    return false;
  }
  if (!isHalfWidth(address)) {
    showMessage(QStringLiteral("メールアドレスに全角文字があります。\r\r半角文字で入力して下さい。"));
    EMAILADDRESS->selectAll();
    EMAILADDRESS->setFocus();
    return false;
  }
  setText(EMAILADDRESS, address);
  return true;
}

bool ReaderWindow::Chk_Part(int Mode) {
  const bool all = Mode == 99;
  const std::function<bool()> checks[] = {
      [&] { return take(EID, checkNumber(text(EID), 5, kIdMessages), true); },
      [&] {
        if (!take(ESyoriKbn, checkNumber(text(ESyoriKbn), 2, kStatusMessages, 1), true)) return false;
        Midasi_Dsp();
        return true;
      },
      [&] {
        if (!take(ENEXTSTORY, checkNumber(text(ENEXTSTORY), 5, kNextStoryMessages), true)) return false;
        Midasi_Dsp();
        return true;
      },
      [&] {
        setText(ENAME, fitWidth(trimFullWidth(trim(text(ENAME))), 60));
        return true;
      },
      [&] { return checkAddress(); },
      [&] {
        return take(ESNDFASTDATE, checkDate(text(ESNDFASTDATE), QStringLiteral("初回送信日に誤りがあります。")), false);
      },
      [&] {
        return take(ESNDFASTTIME, checkTime(text(ESNDFASTTIME), QStringLiteral("初回送信時間に誤りがあります。")),
                    false);
      },
      [&] {
        return take(ESNDLASTDATE, checkDate(text(ESNDLASTDATE), QStringLiteral("前回送信日に誤りがあります。")), false);
      },
      [&] {
        return take(ESNDLASTTIME, checkTime(text(ESNDLASTTIME), QStringLiteral("前回送信時間に誤りがあります。")),
                    false);
      },
      [&] {
        return take(ETourokuDate, checkDate(text(ETourokuDate), QStringLiteral("登録日に誤りがあります。")), false);
      },
      [&] {
        return take(ETourokuTime, checkTime(text(ETourokuTime), QStringLiteral("登録時間に誤りがあります。")), false);
      },
  };
  // A single mode ends after its own step; 99 runs them all and stops at a refusal.
  for (int mode = 1; mode <= 11; ++mode) {
    if (!all && Mode != mode) continue;
    if (!checks[mode - 1]()) return false;
    if (!all) return true;
  }
  return true;  // the remarks are not checked
}

void ReaderWindow::Midasi_Dsp() {
  const std::string status = trim(text(ESyoriKbn));
  LSyoriKbnMsg->setText(status == "1" ? QStringLiteral("可") : status == "0" ? QStringLiteral("不可") : QString());
}

void ReaderWindow::FieldEnter(NavigatingEdit* field) {
  if (field == EID) {
    if (Chk_Part(1)) Kensaku();
    return;
  }
  const std::array<NavigatingEdit*, 13> data = dataFields();
  for (size_t i = 0; i < data.size(); ++i)
    if (data[i] == field) Chk_Part(static_cast<int>(i) + 2);
}

// ---- screen states ------------------------------------------------------------------

void ReaderWindow::Data_Clear() {
  LCflg->clear();
  LSyoriKbnMsg->clear();
  for (NavigatingEdit* f : dataFields()) f->clear();
  LMsg->clear();
  Badd->setEnabled(false);
  Bdel->setEnabled(false);
}

void ReaderWindow::clearKeepingMessage() {
  const QString message = LMsg->text();
  Data_Clear();
  LMsg->setText(message);
}

void ReaderWindow::Data_Enabled(bool Edit) {
  for (QWidget* w : {static_cast<QWidget*>(EID), static_cast<QWidget*>(BNxt), static_cast<QWidget*>(BBfr),
                     static_cast<QWidget*>(BSar)})
    w->setEnabled(!Edit);
  for (NavigatingEdit* f : dataFields()) f->setEnabled(Edit);
}

void ReaderWindow::All_Btn_False() {
  for (QPushButton* b : functionButtons())
    if (b) b->setEnabled(false);
}

void ReaderWindow::B_To_E(const ReaderRow& row) {
  setText(EID, zeroSuppress(trim(row.ID.substr(0, 5))));
  setText(ESyoriKbn, zeroSuppress(trim(row.SYORIKBN.substr(0, 2))));
  setText(ENEXTSTORY, zeroSuppress(trim(row.NEXTSTORY.substr(0, 5))));
  setText(ENAME, trimRight(row.NAME.substr(0, 60)));
  setText(EMAILADDRESS, trimRight(row.MAILADDRESS.substr(0, 50)));
  setText(ESNDFASTDATE, row.SNDFASTDATE.substr(0, 8));
  setText(ESNDFASTTIME, row.SNDFASTTIME.substr(0, 6));
  setText(ESNDLASTDATE, row.SNDLASTDATE.substr(0, 8));
  setText(ESNDLASTTIME, row.SNDLASTTIME.substr(0, 6));
  setText(ETourokuDate, row.TOUROKUDATE.substr(0, 8));
  setText(ETourokuTime, row.TOUROKUTIME.substr(0, 6));
  setText(EBiko1, trimRight(row.BIKO1.substr(0, 60)));
  setText(EBiko2, trimRight(row.BIKO2.substr(0, 60)));
  setText(EBiko3, trimRight(row.BIKO3.substr(0, 60)));
  Midasi_Dsp();
}

// ---- operations ---------------------------------------------------------------------

void ReaderWindow::Kensaku() {
  const std::string id = zeroFill(text(EID), 5);
  setText(EID, id);
  const std::optional<ReaderRow> row = ReaderBook(m_ctx.query).find(id);
  if (!row) {
    Data_Clear();
    Data_Enabled(true);
    Bdel->setEnabled(false);
    LCflg->setText(QStringLiteral("新規登録"));
  } else {
    B_To_E(*row);
    Bdel->setEnabled(true);
    LCflg->setText(QStringLiteral("修正中"));
    Data_Enabled(true);
  }
  ESyoriKbn->setFocus();
  Badd->setEnabled(true);
  setText(EID, zeroSuppress(text(EID)));
}

void ReaderWindow::User_Write() {
  setText(EID, zeroFill(text(EID), 5));
  setText(ENEXTSTORY, zeroFill(text(ENEXTSTORY), 5));
  ReaderRow r;
  r.ID = text(EID);
  r.MAILADDRESS = text(EMAILADDRESS);
  r.TOUROKUDATE = text(ETourokuDate);
  r.TOUROKUTIME = text(ETourokuTime);
  r.NAME = text(ENAME);
  r.SYORIKBN = zeroFill(text(ESyoriKbn), 2);
  r.NEXTSTORY = text(ENEXTSTORY);
  r.SNDFASTDATE = text(ESNDFASTDATE);
  r.SNDFASTTIME = text(ESNDFASTTIME);
  r.SNDLASTDATE = text(ESNDLASTDATE);
  r.SNDLASTTIME = text(ESNDLASTTIME);
  r.BIKO1 = text(EBiko1);
  r.BIKO2 = text(EBiko2);
  r.BIKO3 = text(EBiko3);
  WriteKind kind = WriteKind::Insert;
  try {
    ReaderBook(m_ctx.query).write(r, kind);
  } catch (const DbError& e) {
    FormParts::reportFailure(
        LMsg, kind == WriteKind::Insert ? QStringLiteral("INSERT 失敗 ") : QStringLiteral("UPDATE 失敗 "), e.what());
  }
  m_ctx.query.close();
  setText(EID, zeroSuppress(text(EID)));
}

void ReaderWindow::BaddClick() {
  if (!Chk_Part(99)) return;
  if (!askYesNo(QStringLiteral("更新してもいいですか？"), MsgIcon::Warning)) return;
  All_Btn_False();
  LMsg->clear();
  User_Write();
  clearKeepingMessage();
  Data_Enabled(false);
  focusId();
  BClr->setEnabled(true);
  Bend->setEnabled(true);
}

void ReaderWindow::BdelClick() {
  if (trim(text(EID)).empty() || !Chk_Part(1)) return;
  if (!askYesNo(QStringLiteral("削除してもよろしいですか？"), MsgIcon::Warning)) return;
  m_ctx.query.close();
  const std::string id = zeroFill(text(EID), 5);
  setText(EID, id);
  LMsg->clear();
  try {
    ReaderBook(m_ctx.query).remove(id);
  } catch (const DbError& e) {
    FormParts::reportFailure(LMsg, QStringLiteral("DELETE 失敗 "), e.what());
  }
  m_ctx.query.close();
  clearKeepingMessage();
  Data_Enabled(false);
  setText(EID, zeroSuppress(text(EID)));
  focusId();
}

void ReaderWindow::browse(bool forward) {
  const std::string typed = trim(text(EID));
  // From an empty ID, next starts below every key and previous above every key.
  const std::string id = !typed.empty() ? zeroFill(typed, 5) : forward ? "     " : "zzzzz";
  setText(EID, id);
  ReaderBook book(m_ctx.query);
  const std::optional<ReaderRow> row = forward ? book.after(id) : book.before(id);
  if (row) {
    B_To_E(*row);
    Bdel->setEnabled(true);
  } else {
    EID->clear();
    Data_Clear();
    Bdel->setEnabled(false);
  }
  Data_Enabled(false);
  focusId();
}

void ReaderWindow::BNxtClick() { browse(true); }
void ReaderWindow::BBfrClick() { browse(false); }

void ReaderWindow::BClrClick() {
  Data_Clear();
  EID->clear();
  Data_Enabled(false);
  focusId();
}

void ReaderWindow::BSarClick() {
  const QString before = EID->text();
  EID->clear();
  if (auto* dialog = qobject_cast<ReaderSearchDialog*>(m_ctx.window(WindowId::ReaderSearch))) {
    dialog->Init_Flg = 1;
    dialog->EJyouKen->clear();
    dialog->SG_Clr();
    dialog->setIdField(EID);
    dialog->exec();
    dialog->Init_Flg = 0;
  }
  if (trim(text(EID)).empty())
    EID->setText(before);
  else if (Chk_Part(1))
    Kensaku();
}

void ReaderWindow::BendClick() { close(); }
