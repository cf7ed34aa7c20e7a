#include "maintenance/StoryWindow.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/NavigatingEdit.h"
#include "core/AppContext.h"
#include "core/Dialogs.h"
#include "core/Sjis.h"
#include "core/TextUtil.h"
#include "maintenance/FieldCheck.h"
#include "maintenance/WindowParts.h"
#include "core/InformationPanel.h"
#include "maintenance/StorySearchDialog.h"
#include "maintenance/StoryBook.h"

namespace {
const char* const kPlaceholder = "##readername##";

const NumberMessages kNumberMessages{QStringLiteral("ストーリー番号を入力して下さい。"),
                                     QStringLiteral("ストーリー番号に誤りがあります。"),
                                     QStringLiteral("ストーリー番号にゼロは入力できません。")};

QString memoText(const std::string& body) {
  return Sjis::toQ(body).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
}  // namespace

StoryWindow::StoryWindow(AppContext& ctx, QWidget* parent) : WindowBase(ctx, parent) {
  setWindowTitle(QStringLiteral("クオル　ストーリーメンテナンス"));
  resize(800, 600);
  auto* layout = new QVBoxLayout(this);
  auto* fields = new QGridLayout;
  layout->addLayout(fields);

  EstoryNo = new NavigatingEdit(this);
  EstoryNo->setObjectName(QStringLiteral("EstoryNo"));
  FormParts::limitTyping(EstoryNo, 5);  // a proposed 100000 must reach the check
  EstoryNo->digitsOnly = true;
  EstoryNo->setFixedWidth(80);
  FormParts::setInputMethodOpen(EstoryNo, false);
  LStory_Cnt = new QLabel(this);
  LStory_Cnt->setObjectName(QStringLiteral("LStory_Cnt"));
  fields->addWidget(new QLabel(QStringLiteral("ｽﾄｰﾘｰ番号"), this), 0, 0);
  fields->addWidget(EstoryNo, 0, 1, Qt::AlignLeft);
  fields->addWidget(LStory_Cnt, 0, 2, Qt::AlignRight);

  ESubject = new NavigatingEdit(this);
  ESubject->setObjectName(QStringLiteral("ESubject"));
  ESubject->setMaxLength(1000);
  FormParts::setInputMethodOpen(ESubject, true);
  fields->addWidget(new QLabel(QStringLiteral("subject"), this), 1, 0);
  fields->addWidget(ESubject, 1, 1, 1, 2);

  Estory = new QPlainTextEdit(this);
  Estory->setObjectName(QStringLiteral("Estory"));
  Estory->setLineWrapMode(QPlainTextEdit::NoWrap);
  Estory->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Estory->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  FormParts::setInputMethodOpen(Estory, true);
  fields->addWidget(new QLabel(QStringLiteral("ストーリー"), this), 2, 0, Qt::AlignTop);
  fields->addWidget(Estory, 2, 1, 1, 2);
  layout->setStretchFactor(fields, 1);

  auto* hints = new QHBoxLayout;
  hints->addWidget(new QLabel(QStringLiteral("↓　①"), this));
  hints->addWidget(new QLabel(QStringLiteral("①　メール送信時、##readername##を、読者マスターの読者名に\n"
                                             "置き換えて送信します。"),
                              this),
                   1);
  hints->addWidget(makeInformationPanel(this));
  layout->addLayout(hints);

  LMsg = new QLabel(this);
  LMsg->setObjectName(QStringLiteral("LMsg"));
  layout->addWidget(LMsg);

  const auto bar = FormParts::makeFunctionBar(
      this, layout, {"BOk", "BNext", "Bbfr", "BKanrisya_Add", "B5", "BClr", "B7", "Bdel", "B9", "BSer", "B11", "Bcan"},
      {QStringLiteral("登 録"), QStringLiteral("次"), QStringLiteral("前"), QStringLiteral("読者名挿入"),
       QStringLiteral("F5"), QStringLiteral("クリア"), QStringLiteral("F-7"), QStringLiteral("削 除"),
       QStringLiteral("F-9"), QStringLiteral("検索"), QStringLiteral("F-11"), QStringLiteral("ｷｬﾝｾﾙ")});
  BOk = bar[0];
  BNext = bar[1];
  Bbfr = bar[2];
  BKanrisya_Add = bar[3];
  BClr = bar[5];
  Bdel = bar[7];
  BSer = bar[9];
  Bcan = bar[11];
  setFunctionButtons(bar);

  setTabOrder(EstoryNo, ESubject);
  setTabOrder(ESubject, Estory);

  FormParts::connectGuarded(BOk, this, &StoryWindow::BOkClick);
  FormParts::connectGuarded(BNext, this, &StoryWindow::BNextClick);
  FormParts::connectGuarded(Bbfr, this, &StoryWindow::BbfrClick);
  FormParts::connectGuarded(BKanrisya_Add, this, &StoryWindow::BKanrisya_AddClick);
  FormParts::connectGuarded(BClr, this, &StoryWindow::BClrClick);
  FormParts::connectGuarded(Bdel, this, &StoryWindow::BdelClick);
  FormParts::connectGuarded(BSer, this, &StoryWindow::BSerClick);
  FormParts::connectGuarded(Bcan, this, &StoryWindow::BcanClick);
  connect(EstoryNo, &NavigatingEdit::keyPressed, this, [this](int ch) {
    if (ch == 13) FormParts::runGuarded([this] { EstoryNoEnter(); });
  });

  BOk->setEnabled(false);
  Bdel->setEnabled(false);
  BKanrisya_Add->setEnabled(false);
  Data_Enable_Story(false);
}

std::string StoryWindow::numberText() const { return Sjis::fromQ(EstoryNo->text()); }
void StoryWindow::setNumberText(const std::string& text) { EstoryNo->setText(Sjis::toQ(text)); }

std::string StoryWindow::storyText() const {
  return Sjis::fromQ(Estory->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
}

void StoryWindow::focusNumber() {
  if (!EstoryNo->isEnabled()) return;
  EstoryNo->selectAll();
  EstoryNo->setFocus();
}

void StoryWindow::activate() {
  if (!m_ctx.initStories) return;
  m_ctx.initStories = 0;
  FormParts::runGuarded([this] { AllCnt_Get(); });
  Story_Clr();
  LMsg->clear();
  EstoryNo->clear();
  Data_Enable_Story(false);
  BOk->setEnabled(false);
  Bdel->setEnabled(false);
  EstoryNo->setFocus();
}

void StoryWindow::AllCnt_Get() {
  LStory_Cnt->setText(QStringLiteral("登録数 ") + QString::number(StoryBook(m_ctx.query).count()));
}

void StoryWindow::Story_Clr() {
  ESubject->clear();
  Estory->clear();
}

void StoryWindow::Data_Enable_Story(bool Edit) {
  EstoryNo->setEnabled(!Edit);
  BNext->setEnabled(!Edit);
  Bbfr->setEnabled(!Edit);
  BSer->setEnabled(!Edit);
  ESubject->setEnabled(Edit);
  Estory->setEnabled(Edit);
}

bool StoryWindow::Story_Chk_Part(int Mode) {
  if (Mode == 1 || Mode == 99) {
    const std::string typed = trim(numberText());
    setNumberText(typed);
    const FieldCheck c = checkNumber(typed, 5, kNumberMessages);
    if (!c.ok) {
      showMessage(c.message);
      EstoryNo->clear();
      if (EstoryNo->isEnabled()) EstoryNo->setFocus();
      return false;
    }
    setNumberText(c.text);
    if (Mode == 1) return true;
  }
  if (Mode == 2 || Mode == 99) {
    if (trim(Sjis::fromQ(ESubject->text())).empty()) {
      showMessage(QStringLiteral("subjectを入力して下さい。"));
      ESubject->setFocus();
      return false;
    }
    if (Mode == 2) return true;
  }
  if (Mode == 3 || Mode == 99) {
    if (trim(storyText()).empty()) {
      showMessage(QStringLiteral("ストーリーを入力して下さい。"));
      Estory->setFocus();
      return false;
    }
  }
  return true;
}

void StoryWindow::EstoryNoEnter() {
  if (trim(numberText()).empty()) {
    // Propose the number after the highest stored one.
    std::string next = StoryBook(m_ctx.query).lastNo();
    if (!trim(next).empty()) {
      const int last = toIntOr(trim(next), 0);
      if (last != 0) next = toText(static_cast<long long>(last) + 1);
    } else {
      next = "1";
    }
    setNumberText(next);
  }
  if (Story_Chk_Part(1)) Kensaku();
}

void StoryWindow::Kensaku() {
  const std::string no = zeroFill(numberText(), 5);
  setNumberText(no);
  const std::optional<StoryRow> row = StoryBook(m_ctx.query).find(no);
  Data_Enable_Story(true);
  if (row)
    B_To_E(*row);
  else
    Story_Clr();
  ESubject->setFocus();
  BOk->setEnabled(true);
  Bdel->setEnabled(row.has_value());
}

void StoryWindow::B_To_E(const StoryRow& row) {
  setNumberText(zeroSuppress(row.STORYNO));
  ESubject->setText(Sjis::toQ(row.SUBJECT));
  Estory->setPlainText(memoText(row.STORY));
}

bool StoryWindow::Story_Write() {
  const std::string no = zeroFill(numberText(), 5);
  setNumberText(no);
  const StoryRow s{no, Sjis::fromQ(ESubject->text()), storyText()};
  WriteKind kind = WriteKind::Insert;
  try {
    StoryBook(m_ctx.query).write(s, kind);
  } catch (const DbError& e) {
    FormParts::reportFailure(
        LMsg, kind == WriteKind::Insert ? QStringLiteral("INSERT 失敗 ") : QStringLiteral("UPDATE 失敗 "), e.what());
    m_ctx.query.close();
    return false;
  }
  return true;
}

void StoryWindow::BOkClick() {
  if (m_writing || !Story_Chk_Part(99)) return;
  m_writing = true;
  struct Done {
    StoryWindow* w;
    ~Done() {
      w->BOk->setEnabled(false);
      w->BClr->setEnabled(true);
      w->Bdel->setEnabled(false);
      w->m_writing = false;
    }
  } done{this};
  BOk->setEnabled(false);
  BClr->setEnabled(false);
  Bdel->setEnabled(false);
  Story_Write();
  AllCnt_Get();
  Story_Clr();
  setNumberText(zeroSuppress(numberText()));
  Data_Enable_Story(false);
  focusNumber();
}

void StoryWindow::BNextClick() {
  const std::string no = zeroFill(numberText(), 5);
  setNumberText(no);
  const std::optional<StoryRow> row = StoryBook(m_ctx.query).after(no);
  showBrowsed(row);
}

void StoryWindow::BbfrClick() {
  StoryBook book(m_ctx.query);
  // From an empty field the comparison is "=" with the highest number: the last mail.
  const bool fromEmpty = trim(numberText()).empty();
  if (fromEmpty) setNumberText(book.lastNo());
  const std::string no = zeroFill(numberText(), 5);
  setNumberText(no);
  const std::optional<StoryRow> row = book.before(fromEmpty ? std::string() : no, no);
  showBrowsed(row);
}

void StoryWindow::showBrowsed(const std::optional<StoryRow>& row) {
  if (row) {
    B_To_E(*row);
  } else {
    EstoryNo->clear();
    Story_Clr();
  }
  Bdel->setEnabled(row.has_value());
  focusNumber();
}

void StoryWindow::BKanrisya_AddClick() {
  if (!Estory->isEnabled()) return;
  // The insertion is not recorded for undo.
  Estory->setUndoRedoEnabled(false);
  Estory->textCursor().insertText(QString::fromLatin1(kPlaceholder));
  Estory->setUndoRedoEnabled(true);
}

void StoryWindow::BClrClick() {
  Story_Clr();
  EstoryNo->clear();
  Data_Enable_Story(false);
  focusNumber();
  BOk->setEnabled(false);
  Bdel->setEnabled(false);
}

void StoryWindow::BdelClick() {
  if (trim(numberText()).empty() || !Story_Chk_Part(1)) return;
  if (!askYesNo(QStringLiteral("削除してもよろしいですか？"), MsgIcon::Warning)) {
    focusNumber();
    return;
  }
  const std::string no = zeroFill(numberText(), 5);
  setNumberText(no);
  try {
    StoryBook(m_ctx.query).remove(no);
  } catch (const DbError& e) {
    FormParts::reportFailure(LMsg, QStringLiteral("DELETE 失敗 "), e.what());
  }
  m_ctx.query.close();
  Story_Clr();
  setNumberText(zeroSuppress(numberText()));
  Data_Enable_Story(false);
  focusNumber();
  BOk->setEnabled(false);
  Bdel->setEnabled(false);
  AllCnt_Get();
}

void StoryWindow::BSerClick() {
  EstoryNo->clear();
  if (auto* dialog = qobject_cast<StorySearchDialog*>(m_ctx.window(WindowId::StorySearch))) {
    dialog->setNumberField(EstoryNo);
    dialog->exec();
  }
  if (trim(numberText()).empty())
    BClrClick();
  else
    Kensaku();
}

void StoryWindow::BcanClick() { close(); }

bool StoryWindow::handleKey(QKeyEvent* event) {
  // The subject is checked, then the memo still takes its line break.
  if (FormParts::isEnterIn(event, Estory)) {
    EstoryEnter();
    return false;
  }
  return WindowBase::handleKey(event);
}

void StoryWindow::EstoryEnter() { Story_Chk_Part(2); }

bool StoryWindow::eventFilter(QObject* watched, QEvent* event) {
  // The reader-name button works only while the body has the focus.
  if (event->type() == QEvent::FocusIn) {
    if (watched == Estory)
      BKanrisya_Add->setEnabled(true);
    else if (watched == EstoryNo || watched == ESubject)
      BKanrisya_Add->setEnabled(false);
  }
  return WindowBase::eventFilter(watched, event);
}
