#include "maintenance/ReaderWindow.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <functional>

#include "controls/NavigatingEdit.h"
#include "core/HistoryDialog.h"
#include "core/AppContext.h"
#include "core/ColumnWidths.h"
#include "core/ConsentStore.h"
#include "core/Database.h"
#include "core/ReaderStore.h"
#include "core/SendHistory.h"
#include "core/Clock.h"
#include "core/Dialogs.h"
#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "maintenance/FieldCheck.h"
#include "maintenance/WindowParts.h"
#include "core/InformationPanel.h"
#include "maintenance/ReaderSearchDialog.h"

namespace {

QString newReaderCaption() { return QStringLiteral("新規登録"); }

const NumberMessages kIdMessages{QStringLiteral("読者IDを入力して下さい。"), QStringLiteral("読者IDに誤りがあります。"),
                                 QStringLiteral("読者IDにゼロは入力できません。")};
const NumberMessages kStatusMessages{QStringLiteral("送信区分を入力して下さい。"),
                                     QStringLiteral("送信区分に誤りがあります。"), QString()};
const NumberMessages kNextStoryMessages{QStringLiteral("次回ｽﾄｰﾘｰ番号を入力して下さい。"),
                                        QStringLiteral("次回ｽﾄｰﾘｰ番号に誤りがあります。"), QString()};

// What a field is sized for: the widest text it takes (full-width text for the Japanese
// fields, digits for the number fields).
QString widestText(int maxLength, int maxBytes, bool digitsOnly, bool japanese) {
  if (japanese) return QString(maxBytes / 2, QChar(0x3042));  // あ
  return QString(maxBytes > 0 ? maxBytes : maxLength, digitsOnly ? QLatin1Char('0') : QLatin1Char('n'));
}

// Something before an "@" and, after it, a domain with a dot between two names: what
// every address a mail can reach has.
bool hasDottedDomain(const std::string& address) {
  const size_t at = address.rfind('@');
  if (at == std::string::npos || at == 0) return false;
  const std::string domain = address.substr(at + 1);
  const size_t dot = domain.find('.');
  return dot != std::string::npos && dot > 0 && domain.back() != '.';
}

// Widths in bytes of the text columns the screen fills.
constexpr int kNameWidth = 60;
constexpr int kAddressWidth = 50;
constexpr int kRemarkWidth = 60;

// One edit box of the screen: its label, length limit in characters, the width in bytes
// of its column (0: none beyond the characters), whether only digits can be typed and
// whether the Japanese input method opens in it.
struct FieldSpec {
  NavigatingEdit* ReaderWindow::*member;
  const char* name;
  QString label;
  int maxLength;
  int maxBytes;
  bool digitsOnly;
  bool japanese;
  const char* alsoAllow = "";  // the separators a date or time field takes
};

const QString kDateRefusal = QStringLiteral("日付は半角数字で入力して下さい（例: 2026/12/09 または 20261209）。");
const QString kTimeRefusal = QStringLiteral("時間は半角数字で入力して下さい（例: 08:00:00 または 080000）。");

}  // namespace

ReaderWindow::ReaderWindow(AppContext& ctx, QWidget* parent) : WindowBase(ctx, parent) {
  setWindowTitle(QStringLiteral("クオル 読者マスターメンテナンス"));
  resize(820, 560);
  auto* layout = new QVBoxLayout(this);

  // Object names stay the controls' established names: tools that drive the windows look
  // controls up by them.
  const FieldSpec specs[] = {
      {&ReaderWindow::idEdit, "EID", QStringLiteral("読者ID"), 5, 0, true, false},
      {&ReaderWindow::statusEdit, "ESyoriKbn", QStringLiteral("送信区分"), 2, 0, true, false},
      {&ReaderWindow::nextStoryEdit, "ENEXTSTORY", QStringLiteral("次回ｽﾄｰﾘｰ番号"), 8, 0, false, false},
      {&ReaderWindow::nameEdit, "ENAME", QStringLiteral("読者名"), 60, kNameWidth, false, true},
      {&ReaderWindow::addressEdit, "EMAILADDRESS", QStringLiteral("メールアドレス"), 60, kAddressWidth, false, false},
      {&ReaderWindow::firstSentDateEdit, "ESNDFASTDATE", QStringLiteral("初回送信日"), 10, 0, true, false, "/"},
      {&ReaderWindow::firstSentTimeEdit, "ESNDFASTTIME", QStringLiteral("初回送信時間"), 8, 0, true, false, ":"},
      {&ReaderWindow::lastSentDateEdit, "ESNDLASTDATE", QStringLiteral("前回送信日"), 10, 0, true, false, "/"},
      {&ReaderWindow::lastSentTimeEdit, "ESNDLASTTIME", QStringLiteral("前回送信時間"), 8, 0, true, false, ":"},
      {&ReaderWindow::registeredDateEdit, "ETourokuDate", QStringLiteral("登録日"), 10, 0, true, false, "/"},
      {&ReaderWindow::registeredTimeEdit, "ETourokuTime", QStringLiteral("登録時間"), 8, 0, true, false, ":"},
      {&ReaderWindow::remark1Edit, "EBiko1", QStringLiteral("備考１"), 60, kRemarkWidth, false, true},
      {&ReaderWindow::remark2Edit, "EBiko2", QStringLiteral("備考２"), 60, kRemarkWidth, false, true},
      {&ReaderWindow::remark3Edit, "EBiko3", QStringLiteral("備考３"), 60, kRemarkWidth, false, true},
  };
  auto* grid = new QGridLayout;
  int row = 0;
  for (const FieldSpec& f : specs) {
    auto* e = new NavigatingEdit(this);
    e->setObjectName(QString::fromLatin1(f.name));
    e->setMaxLength(f.maxLength);
    if (f.maxBytes > 0) WindowParts::limitTypingBytes(e, f.maxBytes);
    e->digitsOnly = f.digitsOnly;
    e->digitsAlsoAllow = QString::fromLatin1(f.alsoAllow);
    if (*f.alsoAllow) e->refusalText = *f.alsoAllow == '/' ? kDateRefusal : kTimeRefusal;
    connect(e, &NavigatingEdit::characterRefused, this, [this](const QString& why) { messageLine->setText(why); });
    WindowParts::setInputMethodOpen(e, f.japanese);
    WindowParts::keepTextReadable(e);
    // As wide as the field's content, plus the frame and a little room.
    e->setFixedWidth(e->fontMetrics().horizontalAdvance(widestText(f.maxLength, f.maxBytes, f.digitsOnly, f.japanese)) + 16);
    connect(e, &QLineEdit::textEdited, this, [this] { m_edited = true; });
    this->*f.member = e;
    grid->addWidget(new QLabel(f.label, this), row, 0);
    grid->addWidget(e, row, 1, Qt::AlignLeft);
    connect(e, &NavigatingEdit::keyPressed, this, [this, e](int ch) {
      if (ch == 13) WindowParts::runGuarded([this, e] { fieldEntered(e); });
    });
    ++row;
  }
  modeLabel = new QLabel(this);
  modeLabel->setObjectName(QStringLiteral("LCflg"));
  grid->addWidget(modeLabel, 0, 2);
  statusCaption = new QLabel(this);
  statusCaption->setObjectName(QStringLiteral("LSyoriKbnMsg"));
  statusCaption->setStyleSheet(QStringLiteral("color: blue"));
  auto* statusHint = new QHBoxLayout;
  statusHint->addWidget(statusCaption);
  statusHint->addWidget(new QLabel(QStringLiteral("０：送信不可　１：送信可　"), this));
  statusHint->addStretch(1);
  grid->addLayout(statusHint, 1, 2);
  consentLabel = new QLabel(this);
  consentLabel->setObjectName(QStringLiteral("LConsent"));
  consentLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  grid->addWidget(consentLabel, row, 0, 1, 3);
  grid->setColumnStretch(2, 1);
  layout->addLayout(grid);

  // The data fields come first in tab order, the ID after them.
  const std::array<NavigatingEdit*, 13> data = dataFields();
  for (size_t i = 0; i + 1 < data.size(); ++i) setTabOrder(data[i], data[i + 1]);
  setTabOrder(data.back(), idEdit);

  auto* bottom = new QHBoxLayout;
  messageLine = new QLabel(this);
  messageLine->setObjectName(QStringLiteral("LMsg"));
  bottom->addWidget(messageLine, 1);
  bottom->addWidget(makeInformationPanel(this));
  layout->addLayout(bottom);

  const auto bar = WindowParts::makeFunctionBar(
      this, layout, {"Badd", "BNxt", "BBfr", "BHst", "B5", "BClr", "B7", "Bdel", "B9", "BSar", "B11", "Bend"},
      {QStringLiteral("登 録"), QStringLiteral("次"), QStringLiteral("前"), QStringLiteral("履 歴"), QStringLiteral("F5"),
       QStringLiteral("クリア"), QStringLiteral("F-7"), QStringLiteral("削 除"), QStringLiteral("F-9"),
       QStringLiteral("検 索"), QStringLiteral("F-11"), QStringLiteral("終了")});
  saveButton = bar[0];
  nextButton = bar[1];
  previousButton = bar[2];
  historyButton = bar[3];
  clearButton = bar[5];
  deleteButton = bar[7];
  searchButton = bar[9];
  closeButton = bar[11];
  setFunctionButtons(bar);

  WindowParts::connectGuarded(saveButton, this, &ReaderWindow::save);
  WindowParts::connectGuarded(nextButton, this, &ReaderWindow::showNext);
  WindowParts::connectGuarded(previousButton, this, &ReaderWindow::showPrevious);
  WindowParts::connectGuarded(clearButton, this, &ReaderWindow::clearScreen);
  WindowParts::connectGuarded(deleteButton, this, &ReaderWindow::deleteReader);
  WindowParts::connectGuarded(historyButton, this, &ReaderWindow::showHistory);
  WindowParts::connectGuarded(searchButton, this, &ReaderWindow::searchReader);
  WindowParts::connectGuarded(closeButton, this, &ReaderWindow::closeWindow);

  clearFields();
  setEditMode(false);
}

std::array<NavigatingEdit*, 13> ReaderWindow::dataFields() const {
  return {statusEdit,    nextStoryEdit,   nameEdit,        addressEdit, firstSentDateEdit, firstSentTimeEdit, lastSentDateEdit,
          lastSentTimeEdit, registeredDateEdit, registeredTimeEdit, remark1Edit,       remark2Edit,       remark3Edit};
}

std::string ReaderWindow::text(const NavigatingEdit* field) const { return Sjis::fromQ(field->text()); }
void ReaderWindow::setText(NavigatingEdit* field, const std::string& value) { field->setText(Sjis::toQ(value)); }

DateStamp ReaderWindow::typedStamp(const NavigatingEdit* date, const NavigatingEdit* time) const {
  return DateStamp::fromText(DateStamp::digitsOf(text(date)), DateStamp::digitsOf(text(time)));
}

void ReaderWindow::focusId() {
  idEdit->selectAll();
  idEdit->setFocus();
}

void ReaderWindow::activate() {
  if (!takePendingInit()) return;
  clearFields();
  setEditMode(false);
  idEdit->clear();
  idEdit->setFocus();
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
  const std::string address = trim(text(addressEdit));
  if (address.empty()) {
    showMessage(QStringLiteral("メールアドレスを入力して下さい。"));
    addressEdit->setFocus();
    return false;
  }
  if (!isHalfWidth(address)) {
    showMessage(QStringLiteral("メールアドレスに全角文字があります。\r\r半角文字で入力して下さい。"));
    addressEdit->selectAll();
    addressEdit->setFocus();
    return false;
  }
  if (static_cast<int>(address.size()) > kAddressWidth) {
    showMessage(QStringLiteral("メールアドレスが長すぎます。\r\r半角50文字以内で入力して下さい。"));
    addressEdit->selectAll();
    addressEdit->setFocus();
    return false;
  }
  if (!hasDottedDomain(address)) {
    showMessage(QStringLiteral("メールアドレスに誤りがあります。\r\r「@」の後ろのドメインには「.」が必要です（例: taro@example.com）。"));
    addressEdit->selectAll();
    addressEdit->setFocus();
    return false;
  }
  setText(addressEdit, address);
  // One address, one reader: another reader's address (in any letter case) is refused.
  const std::optional<int> holder = ReaderStore(m_ctx.query).addressHolder(address, toIntOr(trim(text(idEdit)), 0));
  if (holder) {
    messageLine->setText(QStringLiteral("このメールアドレスは読者ID %1 で登録済みです。").arg(Sjis::toQ(idText(*holder))));
    addressEdit->selectAll();
    addressEdit->setFocus();
    return false;
  }
  messageLine->clear();  // in edit mode it holds nothing but this refusal
  return true;
}

bool ReaderWindow::checkRemark(NavigatingEdit* field, const QString& label) {
  if (static_cast<int>(text(field).size()) <= kRemarkWidth) return true;
  showMessage(label + QStringLiteral("が長すぎます。\r\r全角30文字（半角60文字）以内で入力して下さい。"));
  field->selectAll();
  field->setFocus();
  return false;
}

bool ReaderWindow::checkField(ReaderCheck which) {
  const bool all = which == ReaderCheck::All;
  const std::function<bool()> checks[] = {
      [&] { return take(idEdit, checkNumber(text(idEdit), 5, kIdMessages), true); },
      [&] {
        if (!take(statusEdit, checkNumber(text(statusEdit), 2, kStatusMessages, 1), true)) return false;
        showStatusCaption();
        return true;
      },
      [&] {
        if (!take(nextStoryEdit, checkNumber(text(nextStoryEdit), 5, kNextStoryMessages), true)) return false;
        showStatusCaption();
        return true;
      },
      [&] {
        setText(nameEdit, fitWidth(trimFullWidth(trim(text(nameEdit))), kNameWidth));
        return true;
      },
      [&] { return checkAddress(); },
      [&] {
        return take(firstSentDateEdit, checkDate(text(firstSentDateEdit), QStringLiteral("初回送信日に誤りがあります。")), false);
      },
      [&] {
        return take(firstSentTimeEdit, checkTime(text(firstSentTimeEdit), QStringLiteral("初回送信時間に誤りがあります。")),
                    false);
      },
      [&] {
        return take(lastSentDateEdit, checkDate(text(lastSentDateEdit), QStringLiteral("前回送信日に誤りがあります。")), false);
      },
      [&] {
        return take(lastSentTimeEdit, checkTime(text(lastSentTimeEdit), QStringLiteral("前回送信時間に誤りがあります。")),
                    false);
      },
      [&] {
        return take(registeredDateEdit, checkDate(text(registeredDateEdit), QStringLiteral("登録日に誤りがあります。")), false);
      },
      [&] {
        return take(registeredTimeEdit, checkTime(text(registeredTimeEdit), QStringLiteral("登録時間に誤りがあります。")), false);
      },
      [&] { return checkRemark(remark1Edit, QStringLiteral("備考１")); },
      [&] { return checkRemark(remark2Edit, QStringLiteral("備考２")); },
      [&] { return checkRemark(remark3Edit, QStringLiteral("備考３")); },
  };
  // A single check ends after its own step; All runs them in order and stops at a refusal.
  for (int step = 0; step < static_cast<int>(ReaderCheck::All); ++step) {
    if (!all && static_cast<int>(which) != step) continue;
    if (!checks[step]()) return false;
    if (!all) return true;
  }
  return true;
}

void ReaderWindow::showStatusCaption() {
  const std::string status = trim(text(statusEdit));
  statusCaption->setText(status == "1" ? QStringLiteral("可") : status == "0" ? QStringLiteral("不可") : QString());
}

void ReaderWindow::fieldEntered(NavigatingEdit* field) {
  if (field == idEdit) {
    const bool proposed = trim(text(idEdit)).empty();
    if (proposed) proposeNextId();
    if (checkField(ReaderCheck::Id)) lookUp();
    if (proposed && !idEdit->isEnabled() && modeLabel->text() == newReaderCaption())
      messageLine->setText(QStringLiteral("読者IDが空欄のため、新しい読者を読者ID %1 で登録します。").arg(idEdit->text().trimmed()));
    return;
  }
  // The data fields follow the checks from Status on.
  const std::array<NavigatingEdit*, 13> data = dataFields();
  for (size_t i = 0; i < data.size(); ++i) {
    const int step = static_cast<int>(i) + static_cast<int>(ReaderCheck::Status);
    if (data[i] == field && step < static_cast<int>(ReaderCheck::All)) checkField(static_cast<ReaderCheck>(step));
  }
}

void ReaderWindow::proposeNextId() {
  // The ID after the highest stored one, while it still fits the five digits.
  const int next = ReaderStore(m_ctx.query).maxId() + 1;
  if (next <= 99999) idEdit->setText(QString::number(next));
}

// ---- screen states ------------------------------------------------------------------

void ReaderWindow::clearFields() {
  modeLabel->clear();
  statusCaption->clear();
  consentLabel->clear();
  for (NavigatingEdit* f : dataFields()) f->clear();
  messageLine->clear();
  saveButton->setEnabled(false);
  deleteButton->setEnabled(false);
  historyButton->setEnabled(false);
  m_edited = false;
}

void ReaderWindow::clearKeepingMessage() {
  const QString message = messageLine->text();
  clearFields();
  messageLine->setText(message);
}

void ReaderWindow::setEditMode(bool editing) {
  for (QWidget* w : {static_cast<QWidget*>(idEdit), static_cast<QWidget*>(nextButton), static_cast<QWidget*>(previousButton),
                     static_cast<QWidget*>(searchButton)})
    w->setEnabled(!editing);
  for (NavigatingEdit* f : dataFields()) f->setEnabled(editing);
}

void ReaderWindow::disableAllButtons() {
  for (QPushButton* b : functionButtons())
    if (b) b->setEnabled(false);
}

void ReaderWindow::showReader(const Reader& r) {
  setText(idEdit, zeroSuppress(idText(r.id)));
  setText(statusEdit, zeroSuppress(zeroFill(std::to_string(static_cast<int>(r.status)), ColumnWidth::kStatus)));
  setText(nextStoryEdit, zeroSuppress(idText(r.nextStory)));
  setText(nameEdit, r.name);
  setText(addressEdit, r.address);
  setText(firstSentDateEdit, r.firstSent.shownDate());
  setText(firstSentTimeEdit, r.firstSent.shownTime());
  setText(lastSentDateEdit, r.lastSent.shownDate());
  setText(lastSentTimeEdit, r.lastSent.shownTime());
  setText(registeredDateEdit, r.registered.shownDate());
  setText(registeredTimeEdit, r.registered.shownTime());
  setText(remark1Edit, r.note1);
  setText(remark2Edit, r.note2);
  setText(remark3Edit, r.note3);
  showStatusCaption();
  consentLabel->setText(Sjis::toQ(consentLine(ConsentStore(m_ctx.query).newest(r.id))));
}

// ---- operations ---------------------------------------------------------------------

void ReaderWindow::lookUp() {
  const std::string id = zeroFill(text(idEdit), ColumnWidth::kReaderId);
  setText(idEdit, id);
  const std::optional<Reader> row = ReaderStore(m_ctx.query).find(toIntOr(id, 0));
  if (!row) {
    clearFields();
    showNewReaderDefaults();
    setEditMode(true);
    deleteButton->setEnabled(false);
    historyButton->setEnabled(false);
    modeLabel->setText(newReaderCaption());
  } else {
    messageLine->clear();
    showReader(*row);
    deleteButton->setEnabled(true);
    historyButton->setEnabled(true);
    modeLabel->setText(QStringLiteral("修正中"));
    setEditMode(true);
  }
  m_edited = false;
  statusEdit->setFocus();
  saveButton->setEnabled(true);
  setText(idEdit, zeroSuppress(text(idEdit)));
}

void ReaderWindow::showNewReaderDefaults() {
  // A new reader may be sent to and starts at the first story; registered now.
  const std::string now = Clock::nowStamp();
  setText(statusEdit, checkNumber("1", 2, kStatusMessages, 1).text);
  setText(nextStoryEdit, checkNumber("1", 5, kNextStoryMessages).text);
  const DateStamp registered = DateStamp::fromText(now.substr(0, 8), now.substr(8, 6));
  setText(registeredDateEdit, registered.shownDate());
  setText(registeredTimeEdit, registered.shownTime());
  showStatusCaption();
}

bool ReaderWindow::hasUnsavedEdits() const { return m_edited && !idEdit->isEnabled(); }

void ReaderWindow::saveReader() {
  setText(idEdit, zeroFill(text(idEdit), ColumnWidth::kReaderId));
  setText(nextStoryEdit, zeroFill(text(nextStoryEdit), ColumnWidth::kStoryNo));
  Reader r;
  r.id = toIntOr(text(idEdit), 0);
  r.address = text(addressEdit);
  r.registered = typedStamp(registeredDateEdit, registeredTimeEdit);
  r.name = text(nameEdit);
  r.status = static_cast<SendStatus>(toIntOr(trim(text(statusEdit)), 0));
  r.nextStory = toIntOr(text(nextStoryEdit), 0);
  r.firstSent = typedStamp(firstSentDateEdit, firstSentTimeEdit);
  r.lastSent = typedStamp(lastSentDateEdit, lastSentTimeEdit);
  r.note1 = text(remark1Edit);
  r.note2 = text(remark2Edit);
  r.note3 = text(remark3Edit);
  WriteKind kind = WriteKind::Insert;
  try {
    Transaction transaction(m_ctx.query.database());
    ReaderStore(m_ctx.query).save(r, &kind);
    // Only a new reader records its consent: an edited one keeps the one it has.
    if (kind == WriteKind::Insert) {
      const std::string now = Clock::nowStamp();
      ConsentStore(m_ctx.query)
          .add({r.id, r.address, ConsentSource::typedByHand, DateStamp::fromText(now.substr(0, 8), now.substr(8, 6)), ""});
    }
    transaction.commit();
    messageLine->setText(WindowParts::savedText());
  } catch (const DbError& e) {
    WindowParts::reportFailure(
        messageLine, kind == WriteKind::Insert ? QStringLiteral("INSERT 失敗 ") : QStringLiteral("UPDATE 失敗 "), e.what());
  }
  m_ctx.query.close();
  setText(idEdit, zeroSuppress(text(idEdit)));
}

void ReaderWindow::save() {
  if (!checkField(ReaderCheck::All)) return;
  if (!askYesNo(QStringLiteral("更新してもいいですか？"), MsgIcon::Warning)) return;
  disableAllButtons();
  messageLine->clear();
  saveReader();
  clearKeepingMessage();
  setEditMode(false);
  focusId();
  clearButton->setEnabled(true);
  closeButton->setEnabled(true);
}

void ReaderWindow::deleteReader() {
  if (trim(text(idEdit)).empty() || !checkField(ReaderCheck::Id)) return;
  if (!askBeforeLosing(QStringLiteral("削除してもよろしいですか？"))) return;
  m_ctx.query.close();
  const std::string id = zeroFill(text(idEdit), ColumnWidth::kReaderId);
  setText(idEdit, id);
  messageLine->clear();
  try {
    ReaderStore(m_ctx.query).remove(toIntOr(id, 0));
  } catch (const DbError& e) {
    WindowParts::reportFailure(messageLine, QStringLiteral("DELETE 失敗 "), e.what());
  }
  m_ctx.query.close();
  clearKeepingMessage();
  setEditMode(false);
  setText(idEdit, zeroSuppress(text(idEdit)));
  focusId();
}

void ReaderWindow::browse(bool forward) {
  const std::string typed = trim(text(idEdit));
  // From an empty ID, next starts below every key and previous above every key.
  std::optional<int> id;
  if (!typed.empty()) id = toIntOr(zeroFill(typed, ColumnWidth::kReaderId), 0);
  setText(idEdit, id ? idText(*id) : std::string(forward ? "     " : "zzzzz"));
  ReaderStore store(m_ctx.query);
  const std::optional<Reader> row = forward ? store.after(id) : store.before(id);
  if (row) {
    showReader(*row);
    deleteButton->setEnabled(true);
    historyButton->setEnabled(true);
  } else {
    idEdit->clear();
    clearFields();
    deleteButton->setEnabled(false);
    historyButton->setEnabled(false);
  }
  setEditMode(false);
  focusId();
}

void ReaderWindow::showNext() { browse(true); }
void ReaderWindow::showPrevious() { browse(false); }

void ReaderWindow::clearScreen() {
  if (hasUnsavedEdits() && !WindowParts::confirmClear()) return;
  clearFields();
  idEdit->clear();
  setEditMode(false);
  focusId();
}

void ReaderWindow::searchReader() {
  const QString before = idEdit->text();
  idEdit->clear();
  if (auto* dialog = qobject_cast<ReaderSearchDialog*>(m_ctx.window(WindowId::ReaderSearch))) {
    dialog->chooseInto(idEdit);
  }
  if (trim(text(idEdit)).empty())
    idEdit->setText(before);
  else if (checkField(ReaderCheck::Id))
    lookUp();
}

void ReaderWindow::closeWindow() {
  if (hasUnsavedEdits() && !WindowParts::confirmDiscard()) return;
  close();
}

void ReaderWindow::closeEvent(QCloseEvent* event) {
  // The close box asks as the end button does.
  if (event->spontaneous() && hasUnsavedEdits() && !WindowParts::confirmDiscard()) {
    event->ignore();
    return;
  }
  WindowBase::closeEvent(event);
}

void ReaderWindow::showHistory() {
  const int id = toIntOr(trim(text(idEdit)), 0);
  // Opened without blocking the window, and gone when closed.
  auto* dialog = new HistoryDialog(QStringLiteral("送信履歴 読者番号 ") + QString::fromStdString(idText(id)),
                                   HistoryStore(m_ctx.query).forReader(id), false, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->open();
}
