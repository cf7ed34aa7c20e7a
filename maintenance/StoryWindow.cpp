#include "maintenance/StoryWindow.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>

#include "controls/NavigatingEdit.h"
#include "core/AppContext.h"
#include "core/ColumnWidths.h"
#include "core/Database.h"
#include "core/Reader.h"
#include "core/StoryStore.h"
#include "core/Dialogs.h"
#include "core/JisCoverage.h"
#include "core/Sjis.h"
#include "core/TextUtil.h"
#include "maintenance/FieldCheck.h"
#include "maintenance/WindowParts.h"
#include "core/InformationPanel.h"
#include "maintenance/StorySearchDialog.h"

namespace {
const char* const kPlaceholder = "##readername##";

constexpr int kMaxIntervalDays = 999;

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

  // Object names stay the controls' established names: tools that drive the windows look
  // controls up by them.
  numberEdit = new NavigatingEdit(this);
  numberEdit->setObjectName(QStringLiteral("EstoryNo"));
  WindowParts::limitTyping(numberEdit, 5);  // a proposed 100000 must reach the check
  numberEdit->digitsOnly = true;
  numberEdit->setFixedWidth(80);
  WindowParts::setInputMethodOpen(numberEdit, false);
  WindowParts::keepTextReadable(numberEdit);
  countLabel = new QLabel(this);
  countLabel->setObjectName(QStringLiteral("LStory_Cnt"));
  fields->addWidget(new QLabel(QStringLiteral("ｽﾄｰﾘｰ番号"), this), 0, 0);
  fields->addWidget(numberEdit, 0, 1, Qt::AlignLeft);
  fields->addWidget(countLabel, 0, 2, Qt::AlignRight);

  subjectEdit = new NavigatingEdit(this);
  subjectEdit->setObjectName(QStringLiteral("ESubject"));
  subjectEdit->setMaxLength(1000);
  WindowParts::setInputMethodOpen(subjectEdit, true);
  WindowParts::keepTextReadable(subjectEdit);
  connect(subjectEdit, &QLineEdit::textEdited, this, [this] { m_lineEdited = true; });
  fields->addWidget(new QLabel(QStringLiteral("件名"), this), 1, 0);
  fields->addWidget(subjectEdit, 1, 1, 1, 2);

  // "前回の送信から [N] 日後": when the mail is due after the reader's previous one.
  intervalEdit = new NavigatingEdit(this);
  intervalEdit->setObjectName(QStringLiteral("EIntervalDays"));
  WindowParts::limitTyping(intervalEdit, 3);
  intervalEdit->digitsOnly = true;
  intervalEdit->setAlignment(Qt::AlignRight);
  intervalEdit->setFixedWidth(intervalEdit->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 16);
  WindowParts::setInputMethodOpen(intervalEdit, false);
  WindowParts::keepTextReadable(intervalEdit);
  connect(intervalEdit, &QLineEdit::textEdited, this, [this] { m_lineEdited = true; });
  for (NavigatingEdit* number : {numberEdit, intervalEdit})
    connect(number, &NavigatingEdit::characterRefused, this, [this](const QString& why) { messageLine->setText(why); });
  connect(intervalEdit, &NavigatingEdit::keyPressed, this, [this](int ch) {
    if (ch == 13) WindowParts::runGuarded([this] { checkFields(StoryCheck::Interval); });
  });
  auto* interval = new QHBoxLayout;
  interval->addWidget(new QLabel(QStringLiteral("前回の送信から"), this));
  interval->addWidget(intervalEdit);
  interval->addWidget(new QLabel(QStringLiteral("日後"), this));
  interval->addStretch(1);
  fields->addLayout(interval, 2, 1, 1, 2);

  bodyEdit = new QPlainTextEdit(this);
  bodyEdit->setObjectName(QStringLiteral("Estory"));
  bodyEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
  bodyEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  bodyEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  WindowParts::setInputMethodOpen(bodyEdit, true);
  WindowParts::keepTextReadable(bodyEdit);
  fields->addWidget(new QLabel(QStringLiteral("ストーリー"), this), 3, 0, Qt::AlignTop);
  fields->addWidget(bodyEdit, 3, 1, 1, 2);
  // The labels keep their own width; the fields take the rest.
  fields->setColumnStretch(2, 1);
  layout->setStretchFactor(fields, 1);

  auto* hints = new QHBoxLayout;
  hints->addWidget(new QLabel(QStringLiteral("①　メール送信時、##readername##を、読者マスターの読者名に\n"
                                             "置き換えて送信します。"),
                              this),
                   1);
  hints->addWidget(makeInformationPanel(this));
  layout->addLayout(hints);

  messageLine = new QLabel(this);
  messageLine->setObjectName(QStringLiteral("LMsg"));
  layout->addWidget(messageLine);

  const auto bar = WindowParts::makeFunctionBar(
      this, layout, {"BOk", "BNext", "Bbfr", "BKanrisya_Add", "B5", "BClr", "B7", "Bdel", "B9", "BSer", "B11", "Bcan"},
      {QStringLiteral("登 録"), QStringLiteral("次"), QStringLiteral("前"), QStringLiteral("読者名挿入"),
       QStringLiteral("F5"), QStringLiteral("クリア"), QStringLiteral("F-7"), QStringLiteral("削 除"),
       QStringLiteral("F-9"), QStringLiteral("検索"), QStringLiteral("F-11"), QStringLiteral("ｷｬﾝｾﾙ")},
      // The note's mark points at the button that inserts the placeholder.
      {QString(), QString(), QString(), QStringLiteral("↓　①")});
  saveButton = bar[0];
  nextButton = bar[1];
  previousButton = bar[2];
  readerNameButton = bar[3];
  clearButton = bar[5];
  deleteButton = bar[7];
  searchButton = bar[9];
  cancelButton = bar[11];
  setFunctionButtons(bar);

  setTabOrder(numberEdit, subjectEdit);
  setTabOrder(subjectEdit, intervalEdit);
  setTabOrder(intervalEdit, bodyEdit);

  WindowParts::connectGuarded(saveButton, this, &StoryWindow::save);
  WindowParts::connectGuarded(nextButton, this, &StoryWindow::showNext);
  WindowParts::connectGuarded(previousButton, this, &StoryWindow::showPrevious);
  WindowParts::connectGuarded(readerNameButton, this, &StoryWindow::insertReaderName);
  WindowParts::connectGuarded(clearButton, this, &StoryWindow::clearScreen);
  WindowParts::connectGuarded(deleteButton, this, &StoryWindow::deleteMail);
  WindowParts::connectGuarded(searchButton, this, &StoryWindow::searchMail);
  WindowParts::connectGuarded(cancelButton, this, &StoryWindow::cancel);
  connect(numberEdit, &NavigatingEdit::keyPressed, this, [this](int ch) {
    if (ch == 13) WindowParts::runGuarded([this] { numberEntered(); });
  });

  saveButton->setEnabled(false);
  deleteButton->setEnabled(false);
  readerNameButton->setEnabled(false);
  setEditMode(false);
}

std::string StoryWindow::numberText() const { return Sjis::fromQ(numberEdit->text()); }
void StoryWindow::setNumberText(const std::string& text) { numberEdit->setText(Sjis::toQ(text)); }

std::string StoryWindow::storyText() const {
  return Sjis::fromQ(bodyEdit->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
}

void StoryWindow::focusNumber() {
  if (!numberEdit->isEnabled()) return;
  numberEdit->selectAll();
  numberEdit->setFocus();
}

void StoryWindow::activate() {
  if (!takePendingInit()) return;
  WindowParts::runGuarded([this] { showStoryCount(); });
  clearMail();
  messageLine->clear();
  numberEdit->clear();
  setEditMode(false);
  saveButton->setEnabled(false);
  deleteButton->setEnabled(false);
  numberEdit->setFocus();
}

void StoryWindow::showStoryCount() {
  countLabel->setText(QStringLiteral("登録数 ") + QString::number(StoryStore(m_ctx.query).count()));
}

void StoryWindow::clearMail() {
  subjectEdit->clear();
  intervalEdit->clear();
  bodyEdit->clear();
}

void StoryWindow::setEditMode(bool editing) {
  numberEdit->setEnabled(!editing);
  nextButton->setEnabled(!editing);
  previousButton->setEnabled(!editing);
  searchButton->setEnabled(!editing);
  subjectEdit->setEnabled(editing);
  intervalEdit->setEnabled(editing);
  bodyEdit->setEnabled(editing);
}

bool StoryWindow::checkFields(StoryCheck which) {
  const bool all = which == StoryCheck::All;
  if (all || which == StoryCheck::Number) {
    const std::string typed = trim(numberText());
    setNumberText(typed);
    const FieldCheck c = checkNumber(typed, 5, kNumberMessages);
    if (!c.ok) {
      showMessage(c.message);
      numberEdit->clear();
      if (numberEdit->isEnabled()) numberEdit->setFocus();
      return false;
    }
    setNumberText(c.text);
    if (!all) return true;
  }
  if (all || which == StoryCheck::Subject) {
    if (trim(Sjis::fromQ(subjectEdit->text())).empty()) {
      showMessage(QStringLiteral("subjectを入力して下さい。"));
      subjectEdit->setFocus();
      return false;
    }
    if (!all) return true;
  }
  if (all || which == StoryCheck::Interval) {
    const FieldCheck c = checkDays(Sjis::fromQ(intervalEdit->text()), kMaxIntervalDays,
                                   QStringLiteral("前回の送信からの日数に誤りがあります。\r\r0から999までの数字で入力して下さい（空欄は0日）。"));
    if (!c.ok) {
      showMessage(c.message);
      intervalEdit->selectAll();
      intervalEdit->setFocus();
      return false;
    }
    intervalEdit->setText(Sjis::toQ(c.text));
    if (!all) return true;
  }
  if (all || which == StoryCheck::Body) {
    if (trim(storyText()).empty()) {
      showMessage(QStringLiteral("ストーリーを入力して下さい。"));
      bodyEdit->setFocus();
      return false;
    }
  }
  return true;
}

void StoryWindow::numberEntered() {
  if (trim(numberText()).empty()) {
    // Propose the number after the highest stored one.
    const std::optional<int> last = StoryStore(m_ctx.query).maxNumber();
    std::string next = "1";
    if (last) next = *last != 0 ? toText(static_cast<long long>(*last) + 1) : idText(*last);
    setNumberText(next);
  }
  if (checkFields(StoryCheck::Number)) lookUp();
}

void StoryWindow::lookUp() {
  const std::string no = zeroFill(numberText(), ColumnWidth::kStoryNo);
  setNumberText(no);
  const std::optional<Story> row = StoryStore(m_ctx.query).find(toIntOr(no, 0));
  setEditMode(true);
  if (row)
    showMail(*row);
  else
    clearMail();
  messageLine->clear();
  m_lineEdited = false;
  bodyEdit->document()->setModified(false);
  subjectEdit->setFocus();
  saveButton->setEnabled(true);
  deleteButton->setEnabled(row.has_value());
}

void StoryWindow::showMail(const Story& row) {
  setNumberText(zeroSuppress(idText(row.number)));
  subjectEdit->setText(Sjis::toQ(row.subject));
  intervalEdit->setText(QString::number(row.intervalDays));
  bodyEdit->setPlainText(memoText(row.body));
}

int StoryWindow::intervalDays() const { return toIntOr(trim(Sjis::fromQ(intervalEdit->text())), 0); }

bool StoryWindow::saveMail() {
  const std::string no = zeroFill(numberText(), ColumnWidth::kStoryNo);
  setNumberText(no);
  const Story s{toIntOr(no, 0), Sjis::fromQ(subjectEdit->text()), storyText(), intervalDays()};
  WriteKind kind = WriteKind::Insert;
  try {
    StoryStore(m_ctx.query).save(s, &kind);
  } catch (const DbError& e) {
    WindowParts::reportFailure(
        messageLine, kind == WriteKind::Insert ? QStringLiteral("INSERT 失敗 ") : QStringLiteral("UPDATE 失敗 "), e.what());
    m_ctx.query.close();
    return false;
  }
  return true;
}

bool StoryWindow::confirmCarriable() {
  const std::string subject = Sjis::fromQ(subjectEdit->text());
  const std::string body = storyText();
  const std::vector<JisCoverage::Finding> inSubject = JisCoverage::find(subject);
  const std::vector<JisCoverage::Finding> inBody = JisCoverage::find(body);
  if (inSubject.empty() && inBody.empty()) return true;

  QString text = QStringLiteral("メールで送れない文字があります（ISO-2022-JP に無い文字です）。\r\n");
  if (!inSubject.empty()) text += QStringLiteral("\r\n【subject】\r\n") + Sjis::toQ(JisCoverage::describe(inSubject));
  if (!inBody.empty()) text += QStringLiteral("\r\n【ストーリー】\r\n") + Sjis::toQ(JisCoverage::describe(inBody));
  text += QStringLiteral("\r\nはい: 「->」の後ろの文字に置き換えて登録します。\r\n"
                         "いいえ: 入力のまま登録します（送信の前にもう一度確認します）。\r\n"
                         "キャンセル: 登録せずに入力に戻ります。");
  bool everyOneHasSubstitute = true;
  for (const auto* findings : {&inSubject, &inBody})
    for (const JisCoverage::Finding& f : *findings) everyOneHasSubstitute = everyOneHasSubstitute && !f.substitute.empty();
  if (!everyOneHasSubstitute) text += QStringLiteral("\r\n（「->」の無い文字には代わりの文字が無く、置き換えても残ります。）");

  switch (Dialogs::instance().message(appTitle(), text, MsgIcon::Warning, MsgButtons::YesNoCancel)) {
    case MsgResult::Yes:
      subjectEdit->setText(Sjis::toQ(JisCoverage::replaceWithSubstitutes(subject)));
      bodyEdit->setPlainText(memoText(JisCoverage::replaceWithSubstitutes(body)));
      return true;
    case MsgResult::No:
      return true;
    default:
      break;
  }
  // Back to editing with the first such character selected; the count stays readable.
  messageLine->setText(QStringLiteral("メールで送れない文字が %1 文字あります。").arg(inSubject.size() + inBody.size()));
  if (!inSubject.empty()) {
    subjectEdit->setFocus();
    subjectEdit->setSelection(inSubject.front().column - 1, 1);
  } else {
    const QTextBlock block = bodyEdit->document()->findBlockByNumber(inBody.front().line - 1);
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + inBody.front().column - 1);
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    bodyEdit->setTextCursor(cursor);
    bodyEdit->setFocus();
  }
  return false;
}

void StoryWindow::save() {
  if (m_writing || !checkFields(StoryCheck::All) || !confirmCarriable()) return;
  m_writing = true;
  struct Done {
    StoryWindow* w;
    ~Done() {
      w->saveButton->setEnabled(false);
      w->clearButton->setEnabled(true);
      w->deleteButton->setEnabled(false);
      w->m_writing = false;
    }
  } done{this};
  saveButton->setEnabled(false);
  clearButton->setEnabled(false);
  deleteButton->setEnabled(false);
  if (saveMail()) messageLine->setText(WindowParts::savedText());
  showStoryCount();
  clearMail();
  setNumberText(zeroSuppress(numberText()));
  setEditMode(false);
  focusNumber();
}

void StoryWindow::showNext() {
  const std::string no = zeroFill(numberText(), ColumnWidth::kStoryNo);
  setNumberText(no);
  const std::optional<Story> row = StoryStore(m_ctx.query).after(toIntOr(no, 0));
  showBrowsed(row);
}

void StoryWindow::showPrevious() {
  StoryStore store(m_ctx.query);
  // From an empty field: the mail with the highest number, the last one.
  const bool fromEmpty = trim(numberText()).empty();
  std::optional<int> last;
  if (fromEmpty) {
    last = store.maxNumber();
    setNumberText(last ? idText(*last) : std::string());
  }
  const std::string no = zeroFill(numberText(), ColumnWidth::kStoryNo);
  setNumberText(no);
  const std::optional<Story> row = fromEmpty ? store.find(last.value_or(0)) : store.before(toIntOr(no, 0));
  showBrowsed(row);
}

void StoryWindow::showBrowsed(const std::optional<Story>& row) {
  if (row) {
    showMail(*row);
  } else {
    numberEdit->clear();
    clearMail();
  }
  deleteButton->setEnabled(row.has_value());
  focusNumber();
}

void StoryWindow::insertReaderName() {
  if (!bodyEdit->isEnabled()) return;
  // The insertion is not recorded for undo.
  bodyEdit->setUndoRedoEnabled(false);
  bodyEdit->textCursor().insertText(QString::fromLatin1(kPlaceholder));
  bodyEdit->setUndoRedoEnabled(true);
}

void StoryWindow::clearScreen() {
  if (hasUnsavedEdits() && !WindowParts::confirmClear()) return;
  clearMail();
  numberEdit->clear();
  setEditMode(false);
  focusNumber();
  saveButton->setEnabled(false);
  deleteButton->setEnabled(false);
}

void StoryWindow::deleteMail() {
  if (trim(numberText()).empty() || !checkFields(StoryCheck::Number)) return;
  if (!askBeforeLosing(QStringLiteral("削除してもよろしいですか？"))) {
    focusNumber();
    return;
  }
  const std::string no = zeroFill(numberText(), ColumnWidth::kStoryNo);
  setNumberText(no);
  try {
    StoryStore(m_ctx.query).remove(toIntOr(no, 0));
  } catch (const DbError& e) {
    WindowParts::reportFailure(messageLine, QStringLiteral("DELETE 失敗 "), e.what());
  }
  m_ctx.query.close();
  clearMail();
  setNumberText(zeroSuppress(numberText()));
  setEditMode(false);
  focusNumber();
  saveButton->setEnabled(false);
  deleteButton->setEnabled(false);
  showStoryCount();
}

void StoryWindow::searchMail() {
  numberEdit->clear();
  if (auto* dialog = qobject_cast<StorySearchDialog*>(m_ctx.window(WindowId::StorySearch))) {
    dialog->setNumberField(numberEdit);
    dialog->exec();
  }
  if (trim(numberText()).empty())
    clearScreen();
  else
    lookUp();
}

bool StoryWindow::hasUnsavedEdits() const {
  return subjectEdit->isEnabled() && (m_lineEdited || bodyEdit->document()->isModified());
}

void StoryWindow::cancel() {
  if (hasUnsavedEdits() && !WindowParts::confirmDiscard()) return;
  close();
}

void StoryWindow::closeEvent(QCloseEvent* event) {
  // The close box asks as the cancel button does.
  if (event->spontaneous() && hasUnsavedEdits() && !WindowParts::confirmDiscard()) {
    event->ignore();
    return;
  }
  WindowBase::closeEvent(event);
}

bool StoryWindow::handleKey(QKeyEvent* event) {
  // The subject is checked, then the memo still takes its line break.
  if (WindowParts::isEnterIn(event, bodyEdit)) {
    bodyEntered();
    return false;
  }
  return WindowBase::handleKey(event);
}

void StoryWindow::bodyEntered() { checkFields(StoryCheck::Subject); }

bool StoryWindow::eventFilter(QObject* watched, QEvent* event) {
  // The reader-name button works only while the body has the focus.
  if (event->type() == QEvent::FocusIn) {
    if (watched == bodyEdit)
      readerNameButton->setEnabled(true);
    else if (watched == numberEdit || watched == subjectEdit || watched == intervalEdit)
      readerNameButton->setEnabled(false);
  }
  return WindowBase::eventFilter(watched, event);
}
