#include "sending/SendWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "controls/StripedGrid.h"
#include "core/AppContext.h"
#include "core/Clock.h"
#include "core/Dialogs.h"
#include "core/Sjis.h"
#include "core/Tables.h"
#include "core/InformationPanel.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "net/MailMessage.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "sending/MailComposer.h"
#include "settings/PasswordPrompt.h"
#include "settings/SettingsDialogs.h"
#include "sending/JapaneseText.h"

namespace {

const char* const kMark = "  ○  ";

struct ColumnSpec {
  int width;
  Qt::Alignment alignment;
};
const ColumnSpec kColumns[15] = {{56, Qt::AlignLeft},   {55, Qt::AlignLeft},    {64, Qt::AlignHCenter},
                                 {82, Qt::AlignHCenter}, {70, Qt::AlignHCenter}, {80, Qt::AlignHCenter},
                                 {220, Qt::AlignLeft},  {244, Qt::AlignLeft},   {72, Qt::AlignHCenter},
                                 {84, Qt::AlignHCenter}, {64, Qt::AlignHCenter}, {64, Qt::AlignHCenter},
                                 {64, Qt::AlignLeft},   {64, Qt::AlignLeft},    {64, Qt::AlignLeft}};

std::string u8(const char* text) { return Sjis::fromUtf8(text); }

// The eligibility mark from column 1 as it stands (a mark already written reads as -1,
// so only "可" and "全済" are decided again), the next story shown and the last story.
const char* eligibility(const std::string& kbn, const std::string& next, int lastStory) {
  if (toIntOr(kbn, -1) == 0) return "不可";
  if (toIntOr(trim(next), -1) > lastStory) return "全済";
  return "可";
}

QLabel* boldLabel(QWidget* parent, const QString& text, const QColor& colour) {
  auto* l = new QLabel(text, parent);
  QFont f = l->font();
  f.setBold(true);
  l->setFont(f);
  QPalette p = l->palette();
  p.setColor(QPalette::WindowText, colour);
  l->setPalette(p);
  return l;
}

}  // namespace

const std::array<const char*, 15> SendWindow::kCaptions = {
    "送信指示", "送信区分",   "読者ID",     "次回ｽﾄｰﾘ番号", "前回送信日", "前回送信時間", "読者名", "メールアドレス",
    "送信開始日", "送信開始時間", "登録日 ", "登録時間",     "備考１",     "備考２",       "備考３"};

SendWindow::SendWindow(AppContext& ctx, QWidget* parent)
    : WindowBase(ctx, parent), IdSMTP1(std::make_unique<SmtpClient>()), IdPOP31(std::make_unique<Pop3Client>()) {
  setWindowTitle(QStringLiteral("クオル メール送信"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  resize(858, 499);

  auto* root = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("最終ｽﾄｰﾘｰ番号"), this));
  ELast_StoryNo = new QLineEdit(this);
  ELast_StoryNo->setReadOnly(true);
  ELast_StoryNo->setFixedWidth(60);
  ELast_StoryNo->setFocusPolicy(Qt::NoFocus);
  top->addWidget(ELast_StoryNo);
  // Holds the number of listed readers; kept out of sight like its label.
  EMaxCnt = new QLineEdit(this);
  EMaxCnt->setReadOnly(true);
  EMaxCnt->hide();
  top->addSpacing(20);
  top->addWidget(new QLabel(QStringLiteral("１：送信する　０：送信解除 "), this));
  top->addStretch(1);
  LMail_Cnt = new QLabel(this);
  top->addWidget(LMail_Cnt);
  root->addLayout(top);

  SG_USER = new StripedGrid(this);
  SG_USER->columns().clear();
  for (int c = 0; c < 15; ++c) {
    GridColumn& col = SG_USER->columns().add();
    col.setCaption(QString::fromUtf8(kCaptions[static_cast<size_t>(c)]));
    col.setAlignment(kColumns[c].alignment);
    col.width = kColumns[c].width;
    col.canEdit = c == 0;
    col.imeMode = ImeMode::close;
    SG_USER->setColWidth(c, kColumns[c].width);
  }
  SG_USER->setDefaultRowHeight(20);
  SG_USER->setSelectionBehavior(QAbstractItemView::SelectRows);
  SG_USER->setSelectionMode(QAbstractItemView::SingleSelection);
  SG_USER->setLineStyle(GridLineStyle::striped);
  SG_USER->setStripeColor(QColor(255, 247, 255));
  SG_USER->onDrawCell = [this](QPainter* p, int col, int row, const QRect& r, bool sel) {
    drawCell(p, col, row, r, sel);
  };
  // Only listed rows can be selected: the empty rows below the list stay out of reach.
  connect(SG_USER->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& now, const QModelIndex& before) {
            if (now.isValid() && cell(1, now.row() + 1).empty() && before.isValid())
              SG_USER->setCurrentIndex(before);
          });
  root->addWidget(SG_USER, 1);

  auto* progress = new QHBoxLayout;
  LStatus = new QLabel(this);
  LStatus_Msg = new QLabel(this);
  LStatus_Msg->hide();
  LSyoriIng1 = boldLabel(this, QStringLiteral("-- 処理中 --"), Qt::red);
  LSyoriIng2 = boldLabel(this, QStringLiteral("-- 処理中 --"), Qt::red);
  LNokoriByo = new QLabel(this);
  LSuccesuu = boldLabel(this, QStringLiteral("正常終了"), Qt::blue);
  Lerror = boldLabel(this, QStringLiteral("異常終了、又は、ユーザによる中断指示"), Qt::red);
  for (QWidget* w : {static_cast<QWidget*>(LStatus), static_cast<QWidget*>(LSyoriIng1),
                     static_cast<QWidget*>(LSyoriIng2), static_cast<QWidget*>(LNokoriByo),
                     static_cast<QWidget*>(LSuccesuu), static_cast<QWidget*>(Lerror)})
    progress->addWidget(w);
  progress->addStretch(1);
  root->addLayout(progress);

  QLabel* webInfo = makeInformationPanel(this);
  webInfo->setFixedHeight(40);
  root->addWidget(webInfo);

  auto* bar = new QHBoxLayout;
  const char* captions[12] = {"開　始", "全選択", "F-3", "F-4", "F5", "全解除", "F-7", "F-8", "F-9", "F-10", "F-11",
                              "終 了"};
  std::array<QPushButton*, 12> buttons{};
  for (int i = 0; i < 12; ++i) {
    buttons[static_cast<size_t>(i)] = new QPushButton(QString::fromUtf8(captions[i]), this);
    buttons[static_cast<size_t>(i)]->setFocusPolicy(Qt::NoFocus);
    buttons[static_cast<size_t>(i)]->setEnabled(false);
    bar->addWidget(buttons[static_cast<size_t>(i)]);
  }
  BOk = buttons[0];
  BKaSel = buttons[1];
  Boff = buttons[5];
  BEnd = buttons[11];
  BEnd->setEnabled(true);
  setFunctionButtons(buttons);
  connect(BOk, &QPushButton::clicked, this, &SendWindow::Main_Part);
  connect(BKaSel, &QPushButton::clicked, this, &SendWindow::BKaSelClick);
  connect(Boff, &QPushButton::clicked, this, &SendWindow::BoffClick);
  connect(BEnd, &QPushButton::clicked, this, &SendWindow::BEndClick);
  root->addLayout(bar);

  Wait_Second_Timmer = new QTimer(this);
  Wait_Second_Timmer->setInterval(1000);
  connect(Wait_Second_Timmer, &QTimer::timeout, this, &SendWindow::Wait_Second_TimmerTimer);
  End_Timer = new QTimer(this);
  End_Timer->setInterval(50);
  connect(End_Timer, &QTimer::timeout, this, [this] {
    End_Timer->stop();
    close();
  });

  IdSMTP1->port = 25;
  IdSMTP1->readTimeoutMs = 0;
  IdPOP31->onStatus = [this](TcpConnection&, ConnectionStatus status, const std::string& text) {
    IdPOP31Status(status, text);
  };
}

SendWindow::~SendWindow() = default;

std::string SendWindow::cell(int col, int row) const { return Sjis::fromQ(SG_USER->cell(col, row)); }
void SendWindow::setCell(int col, int row, const std::string& text) { SG_USER->setCell(col, row, Sjis::toQ(text)); }

// ---- initialisation -------------------------------------------------------------

void SendWindow::activate() {
  if (m_ctx.initSend != 1) return;
  End_Timer->stop();
  sendLog.setPath(m_ctx.file("SndMail.log"));
  m_ctx.initSend = 0;
  Run_Flg = 0;
  Wait_Second_Timmer->stop();
  LSuccesuu->hide();
  Lerror->hide();
  try {
    Last_Story_No_Get();
    SG_User_Set();
  } catch (const DbError& e) {
    // Not the window's to handle: the standard error box, and the rest of the
    // initialisation is not carried out.
    m_ctx.query.close();
    showError(Sjis::toQ(e.what()));
    return;
  }
  Nokori_Msg_Clear();
  settings = loadMailSettings(SettingsPaths::of(m_ctx));
  IdSMTP1->port = settings.SMTPPORT;
  BOk->setEnabled(true);
  BKaSel->setEnabled(true);
  Boff->setEnabled(true);
  if (m_ctx.sendOnly == 0) {
    BKaSel->click();
    BOk->click();
  }
}

bool SendWindow::Last_Story_No_Get() {
  ELast_StoryNo->setText(QStringLiteral("0"));
  Statement& q = m_ctx.query;
  q.close();
  q.setCommandText(Sql::maxStoryNo());
  q.open();
  if (!q.eof()) ELast_StoryNo->setText(Sjis::toQ(zeroSuppress(q.fieldByName("MAX").substr(0, 5))));
  q.close();
  if (toIntOr(trim(Sjis::fromQ(ELast_StoryNo->text())), 0) == 0) {
    ELast_StoryNo->setText(QStringLiteral("0"));
    return false;
  }
  return true;
}

void SendWindow::SG_User_Set() {
  Sel_Cnt = 0;
  Snd_Cnt = 0;
  EMaxCnt->clear();
  LMail_Cnt->clear();
  LStatus->clear();
  LStatus_Msg->clear();
  const std::string lastText = trim(Sjis::fromQ(ELast_StoryNo->text()));
  const int last = toIntOr(lastText, 0);
  const int lastForMark = toIntOr(lastText, -1);

  SG_USER->beginUpdate();
  SG_USER->setRowCount(1);
  SG_USER->setRowCount(31);
  int row = 0;
  Statement& q = m_ctx.query;
  try {
    q.close();
    q.setCommandText(Sql::allReaders());
    q.open();
    while (!q.eof()) {
      const ReaderRow r = readReader(q, 50);
      const bool sendable = toIntOr(trim(r.SYORIKBN.substr(0, 2)), 0) == 1;
      if (sendable && toIntOr(trim(r.NEXTSTORY.substr(0, 5)), 0) <= last) {
        ++row;
        if (row >= SG_USER->rowCount()) SG_USER->setRowCount(row + 1);
        // Column 1 takes the send status and is then decided at once into its mark.
        const char* mark = eligibility(r.SYORIKBN.substr(0, 2), zeroSuppress(r.NEXTSTORY), lastForMark);
        const std::string cells[15] = {"",
                                       "",
                                       zeroSuppress(r.ID),
                                       zeroSuppress(r.NEXTSTORY),
                                       r.SNDLASTDATE,
                                       r.SNDLASTTIME,
                                       r.NAME,
                                       r.MAILADDRESS,
                                       r.SNDFASTDATE,
                                       r.SNDFASTTIME,
                                       r.TOUROKUDATE,
                                       r.TOUROKUTIME,
                                       r.BIKO1,
                                       r.BIKO2,
                                       r.BIKO3};
        std::vector<QString> shown;
        shown.reserve(15);
        shown.emplace_back();
        shown.push_back(QString::fromUtf8(mark));
        for (size_t c = 2; c < 15; ++c) shown.push_back(Sjis::toQ(cells[c]));
        SG_USER->setRow(row, std::move(shown));
      }
      q.next();
    }
  } catch (...) {
    SG_USER->endUpdate();
    throw;
  }
  SG_USER->endUpdate();
  q.close();
  SG_USER->setFocus();
  if (row > 0) SG_USER->setRow(1);
  EMaxCnt->setText(QString::asprintf("%6d", row));
}


void SendWindow::Snd_kbn_hantei(int row) {
  const int last = toIntOr(trim(Sjis::fromQ(ELast_StoryNo->text())), -1);
  SG_USER->setCell(1, row, QString::fromUtf8(eligibility(cell(1, row), cell(3, row), last)));
}

// ---- marking --------------------------------------------------------------------

void SendWindow::markKey(int row, QChar key) {
  if (row < 1 || row >= SG_USER->rowCount()) return;
  const bool canMoveOn = row + 1 < SG_USER->rowCount() && !cell(1, row + 1).empty();
  if (key == QLatin1Char('1')) {
    if (trim(cell(1, row)) == u8("可")) setCell(0, row, u8(kMark));
    if (canMoveOn) SG_USER->setRow(row + 1);
  } else if (key == QLatin1Char('0')) {
    setCell(0, row, "");
    if (canMoveOn) SG_USER->setRow(row + 1);
  } else {
    setCell(0, row, "");
  }
}

void SendWindow::BKaSelClick() {
  for (int r = 1; r < SG_USER->rowCount(); ++r)
    if (trim(cell(1, r)) == u8("可")) setCell(0, r, u8(kMark));
}

void SendWindow::BoffClick() {
  for (int r = 1; r < SG_USER->rowCount(); ++r) setCell(0, r, "");
}

bool SendWindow::handleKey(QKeyEvent* event) {
  if (pressFunctionKey(event->key())) return true;
  if (QApplication::focusWidget() == SG_USER && !event->text().isEmpty() && event->text().at(0).isPrint() &&
      Run_Flg == 0) {
    markKey(SG_USER->currentRow(), event->text().at(0));
    return true;
  }
  return false;
}

void SendWindow::drawCell(QPainter* p, int col, int row, const QRect& rect, bool selected) {
  if (col == 0) {
    const std::string t = trim(cell(0, row));
    QColor colour = Qt::black;
    if (t == u8("○") || t == u8("処理中") || t == u8("エラー") || t == u8("中止"))
      colour = Qt::red;
    else if (t == u8("済"))
      colour = Qt::blue;
    p->save();
    p->fillRect(rect, SG_USER->cellColor(col, row));
    p->setPen(colour);
    p->drawText(rect.adjusted(2, 2, -2, -2), Qt::AlignLeft | Qt::AlignVCenter, SG_USER->cell(col, row));
    p->restore();
  }
  if (selected) {
    // A thin frame marks the current row for the "1" and "0" keys.
    p->save();
    p->setPen(QPen(QColor(0, 0, 160), 1));
    p->drawLine(rect.topLeft(), rect.topRight());
    p->drawLine(rect.bottomLeft(), rect.bottomRight());
    p->restore();
  }
}

// ---- start check and start --------------------------------------------------------

bool SendWindow::Chk_Part() {
  Env_Err_Flg = false;
  Sel_Cnt = 0;
  Snd_Cnt = 0;
  int notEligible = 0;
  int withId = 0;
  for (int r = 1; r < SG_USER->rowCount(); ++r) {
    if (trimFullWidth(cell(0, r)) == u8("○")) ++Sel_Cnt;
    const std::string kbn = trimFullWidth(cell(1, r));
    if (kbn == u8("不可") || kbn == u8("全済")) ++notEligible;
    if (!trim(cell(2, r)).empty()) ++withId;
  }
  auto fail = [&](const char* message, bool settingsProblem) {
    showMessage(QString::fromUtf8(message));
    if (settingsProblem) Env_Err_Flg = true;
    return false;
  };
  MailSettings& s = settings;
  if (notEligible == withId) {
    fail("送信対象が１件もありません。", false);
    // In the chain the window closes itself once the operator has confirmed.
    if (m_ctx.sendOnly == 0) End_Timer->start();
    return false;
  }
  if (Sel_Cnt == 0) return fail("選択されていません。", false);
  s.Smtp = trim(s.Smtp);
  if (s.Smtp.empty()) return fail("SMTPｻｰﾊﾞ名が設定されていません。", true);
  if (!isHalfWidth(s.Smtp)) return fail("SMTPｻｰﾊﾞ名に全角文字があります。\r\r半角文字で入力して下さい。", true);
  s.MailAdress = trim(s.MailAdress);
  if (s.MailAdress.empty()) return fail("メールアドレスが設定されていません。", true);
  if (!isHalfWidth(s.MailAdress))
    return fail("メールアドレスに全角文字があります。\r\r半角文字で設定して下さい。", true);
  s.Mail1_Wait_Second = trim(s.Mail1_Wait_Second);
  if (s.Mail1_Wait_Second.empty()) return fail("秒数を入力して下さい。", true);
  if (toIntOr(s.Mail1_Wait_Second, -1) == -1) return fail("秒数に誤りがあります。", true);
  if (s.popBeforeSmtp()) {
    if (trim(s.Pop_Saver).empty()) return fail("POP3ｻｰﾊﾞ名を設定して下さい。", true);
    if (!isHalfWidth(s.Pop_Saver))
      return fail("POP3ｻｰﾊﾞ名に全角文字があります。\r\r半角文字で入力して下さい。", true);
    s.Pop_UsrName = trim(s.Pop_UsrName);
    if (s.Pop_UsrName.empty()) return fail("POP3ﾕｰｻﾞ名を設定して下さい。", true);
    if (!isHalfWidth(s.Pop_UsrName))
      return fail("POP3ﾕｰｻﾞ名に全角文字があります。\r\r半角文字で入力して下さい。", true);
    s.Pop_After_Snd_Second = trim(s.Pop_After_Snd_Second);
    if (s.Pop_After_Snd_Second.empty()) return fail("秒数を設定して下さい。", true);
  }
  s.Max_Moji = trim(s.Max_Moji);
  if (s.Max_Moji.empty()) return fail("文字数を設定して下さい。", true);
  if (toIntOr(s.Max_Moji, 0) == 0) return fail("文字数に誤りがあります。", true);
  if (s.PasSave == 1 && !askSavedOrTypedPassword(s.password)) {
    Env_Err_Flg = true;
    return false;
  }
  return true;
}

void SendWindow::Main_Part() {
  if (Run_Flg == 1) return;
  if (toIntOr(trim(Sjis::fromQ(ELast_StoryNo->text())), 0) == 0) {
    showMessage(QStringLiteral("ストーリーが登録されていません。"));
    return;
  }
  if (!Chk_Part()) {
    if (Env_Err_Flg) {
      // Corrected settings take effect at the window's next opening, not in this one.
      openSettingsWindow(m_ctx, 1);
      m_ctx.initSettings = 0;
    }
    return;
  }
  if (settings.PasSave == 0) {
    const std::optional<std::string> entered = askPassword(m_ctx, PasswordFor::Pop3);
    if (!entered || trim(*entered).empty()) return;
    settings.password = *entered;
  }
  RunStart();
}

// ---- the run ----------------------------------------------------------------------

void SendWindow::RunStart() {
  sendLog.Log_Del();
  Run_Flg = 1;
  Wait_Second_Timmer->stop();
  for (int c = 0; c < SG_USER->columns().count(); ++c) SG_USER->columns()[c].canEdit = false;
  BKaSel->setEnabled(false);
  BOk->setEnabled(false);
  Boff->setEnabled(false);
  BEnd->setText(QStringLiteral("中 断"));
  LSuccesuu->hide();
  Lerror->hide();
  Snd_Part();
  if (Run_Flg == 1) {
    LSuccesuu->show();
    Lerror->hide();
  } else {
    LSuccesuu->hide();
    Lerror->show();
  }
  Run_Flg = 0;
  BEnd->setText(QStringLiteral("終 了"));
  if (m_closeAfterRun) {
    m_closeAfterRun = false;
    close();
  }
}

void SendWindow::Snd_Part() {
  LMail_Cnt->clear();
  Wait_Second_Timmer->stop();
  int handled = 0;
  for (int row = 1; row < SG_USER->rowCount() && Run_Flg == 1; ++row) {
    LMail_Cnt->setText(QStringLiteral("%1 / %2 送信済").arg(Snd_Cnt).arg(Sel_Cnt));
    if (trim(cell(2, row)).empty()) break;
    if (trim(cell(0, row)) != u8("○")) continue;
    if (row >= 16) SG_USER->verticalScrollBar()->setValue(row - 14 - 1);
    LStatus->clear();
    LStatus_Msg->clear();
    if (settings.popBeforeSmtp()) {
      setCell(0, row, u8("処理中"));
      const bool loggedIn = Pop3_Snd();
      setCell(0, row, loggedIn ? u8(kMark) : u8("エラー"));
      Nokori_Msg_Clear();
      waitSeconds(1, toIntOr(trim(settings.Pop_After_Snd_Second), 0));
    }
    LStatus->clear();
    LStatus_Msg->clear();
    if (Run_Flg == 1) {
      setCell(0, row, u8("処理中"));
      if (Snd_Mail(row)) {
        ++Snd_Cnt;
        setCell(0, row, u8("  済  "));
        SG_User_Update(row);
      } else {
        setCell(0, row, u8("  Skip  "));
      }
    } else {
      setCell(0, row, u8("  中止  "));  // stopped before this row's mail went out
    }
    ++handled;
    if (settings.writeLog()) logRow(row);
    LStatus->clear();
    LStatus_Msg->clear();
    Nokori_Msg_Clear();
    if (handled < Sel_Cnt && Run_Flg == 1)
      waitSeconds(settings.popBeforeSmtp() ? 2 : 1, toIntOr(trim(settings.Mail1_Wait_Second), 10));
  }
  LMail_Cnt->setText(QStringLiteral("%1 / %2 送信済").arg(Snd_Cnt).arg(Sel_Cnt));
  Nokori_Msg_Clear();
}

void SendWindow::waitSeconds(int kind, int seconds) {
  Wait_Kind = kind;
  Wait_Len = seconds;
  Wait_Cnt = 0;
  Wait_End_Flg = 0;
  Wait_Second_Timmer->start();
  while (Wait_End_Flg == 0 && Run_Flg == 1) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  Wait_Second_Timmer->stop();
}

void SendWindow::Wait_Second_TimmerTimer() {
  Wait_Second_Timmer->stop();
  ++Wait_Cnt;
  if (Wait_Cnt >= Wait_Len) {
    Wait_End_Flg = 1;
    return;
  }
  const int r = Wait_Len - Wait_Cnt;
  const int m = r / 60;
  const int s = r - 60 * m;
  LNokoriByo->show();
  LSyoriIng1->hide();
  LSyoriIng2->hide();
  const QString lead = Wait_Kind == 2 ? QStringLiteral("POP before SMTPのログインまで ") : QStringLiteral("メール送信まで ");
  LNokoriByo->setText(m > 0 ? lead + QString::number(m) + QStringLiteral(" 分 ") + QString::number(s) +
                                  QStringLiteral(" 秒です。")
                            : lead + QString::number(s) + QStringLiteral(" 秒です。"));
  Wait_Second_Timmer->start();
}

void SendWindow::Nokori_Msg_Clear() {
  Wait_Cnt = 0;
  Wait_Len = 0;
  LNokoriByo->clear();
  LNokoriByo->hide();
  LSyoriIng1->hide();
  LSyoriIng2->hide();
}

void SendWindow::Delay(int ms) {
  const std::uint64_t until = Clock::GetTickCount() + static_cast<std::uint64_t>(ms);
  QTimer wake;
  wake.setSingleShot(true);
  for (std::uint64_t now = Clock::GetTickCount(); now <= until; now = Clock::GetTickCount()) {
    wake.start(static_cast<int>(until - now) + 1);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

bool SendWindow::Pop3_Snd() {
  LNokoriByo->hide();
  LSyoriIng1->setText(QStringLiteral("POP3処理中"));
  LSyoriIng1->show();
  LSyoriIng2->hide();
  Pop3Client& pop = *IdPOP31;
  pop.host = trim(settings.Pop_Saver);
  pop.port = Pop3Port;
  pop.user = settings.Pop_UsrName;
  pop.password = settings.password;
  try {
    pop.connect(-1);
  } catch (const std::exception& e) {
    showError(QStringLiteral("Pop Connect 失敗 \r") + Sjis::toQ(e.what()));
    Run_Flg = 0;
    return false;
  }
  Delay(5000);
  try {
    pop.disconnect();
  } catch (const std::exception& e) {
    showError(QStringLiteral("Pop Disconnect 失敗\r") + Sjis::toQ(e.what()));
    Run_Flg = 0;
    return false;
  }
  return true;
}

void SendWindow::IdPOP31Status(ConnectionStatus status, const std::string& text) {
  static const char* const kTexts[] = {"ホスト名を IP アドレスに解決", "接続中", "接続完了", "接続解除中",
                                       "接続解除", "通知メッセージを生成中"};
  const int n = static_cast<int>(status);
  if (n >= 0 && n <= 5) LStatus->setText(QString::fromUtf8(kTexts[n]));
  LStatus_Msg->setText(Sjis::toQ(text));
  LStatus->repaint();
}

bool SendWindow::Snd_Mail(int row) {
  const std::string storyNo = zeroFill(trim(cell(3, row)), 5);
  Statement& q = m_ctx.query;
  q.close();
  q.setCommandText(Sql::storyByNo(storyNo));
  q.open();
  if (q.eof()) {
    q.close();
    return false;
  }
  // Subject: its first 200 characters without trailing blanks; body: the first 16382.
  std::string subject = trimRight(charCopy(q.fieldByName("SUBJECT"), 1, 200));
  const std::string story = charCopy(q.fieldByName("STORY"), 1, 16382);
  q.close();

  const std::string host = trim(settings.Smtp);
  const std::string encodedSubject = cutAtInvalidChar(encodeHeaderText(subject));
  const std::string recipient = trim(cell(7, row));
  const std::string sender = encodeHeaderText(settings.MailAdress);
  const std::string body = convertJapaneseText(
      composeBody(cell(6, row), settings.Nothing_UserName, story, toIntOr(trim(settings.Max_Moji), 80)), 2);

  LSyoriIng1->setText(Sjis::toQ(recipient));
  LSyoriIng2->setText(QStringLiteral("へメールを送信中"));
  LSyoriIng1->show();
  LSyoriIng2->show();
  QCoreApplication::processEvents();

  auto message = std::make_unique<MailMessage>();
  try {
    IdSMTP1->host = host;
    message->from.setText(sender);
    message->recipients.setText(recipient);
    message->subject = encodedSubject;
    message->setBodyText(body);
    message->contentType = "text/plain";
    IdSMTP1->connect(-1);
    try {
      IdSMTP1->send(*message);
    } catch (...) {
      IdSMTP1->disconnect();
      throw;
    }
    IdSMTP1->disconnect();
  } catch (const std::exception& e) {
    showError(QStringLiteral("QuickSend 失敗\r") + Sjis::toQ(e.what()));
    Run_Flg = 0;
    return false;
  }
  return true;
}

void SendWindow::SG_User_Update(int row) {
  const std::string stamp = Clock::nowStamp();
  const std::string date = stamp.substr(0, 8);
  const std::string time = stamp.substr(8, 6);
  const int next = toIntOr(trim(cell(3, row)), -1);
  if (next == -1 || next + 1 > 99999) return;
  const std::string newNext = zeroFill(std::to_string(next + 1), 5);
  setCell(3, row, zeroSuppress(newNext));
  Snd_kbn_hantei(row);
  setCell(4, row, date);
  setCell(5, row, time);
  const std::string first = trim(cell(8, row) + cell(9, row));
  if (first.empty() || toIntOr(first, -1) == 0) {
    setCell(8, row, date);
    setCell(9, row, time);
  }

  ReaderRow r;
  r.ID = zeroFill(trim(cell(2, row)), 5);
  r.SYORIKBN = trim(cell(1, row)) == u8("不可") ? "00" : "01";
  r.NEXTSTORY = newNext;
  r.SNDLASTDATE = date;
  r.SNDLASTTIME = time;
  r.SNDFASTDATE = cell(8, row);
  r.SNDFASTTIME = cell(9, row);
  Statement& q = m_ctx.query;
  bool inserting = false;
  try {
    // The stored address, name, registration and remarks are written back in full.
    q.close();
    q.setCommandText(Sql::readerById(r.ID));
    q.open();
    inserting = q.eof();
    if (!inserting) {
      const ReaderRow stored = readReader(q, 50);
      r.MAILADDRESS = q.fieldByName("MAILADDRESS");
      r.NAME = q.fieldByName("NAME");
      r.TOUROKUDATE = stored.TOUROKUDATE;
      r.TOUROKUTIME = stored.TOUROKUTIME;
      r.BIKO1 = q.fieldByName("BIKO1");
      r.BIKO2 = q.fieldByName("BIKO2");
      r.BIKO3 = q.fieldByName("BIKO3");
    } else {
      r.MAILADDRESS = cell(7, row);
      r.NAME = cell(6, row);
      r.TOUROKUDATE = cell(10, row);
      r.TOUROKUTIME = cell(11, row);
      r.BIKO1 = cell(12, row);
      r.BIKO2 = cell(13, row);
      r.BIKO3 = cell(14, row);
    }
    q.close();
    q.setCommandText(inserting ? Sql::insertReader(r) : Sql::updateReader(r));
    q.execute();
    q.close();
  } catch (const DbError& e) {
    q.close();
    const QString text = (inserting ? QStringLiteral("INSERT 失敗 ") : QStringLiteral("UPDATE 失敗 ")) +
                         Sjis::toQ(e.what());
    LStatus_Msg->setText(text);
    showError(text);
  }
}

// ---- log and closing ----------------------------------------------------------------

std::vector<std::string> SendWindow::headerCells() const {
  std::vector<std::string> header;
  for (const char* c : kCaptions) header.push_back(Sjis::fromUtf8(c));
  return header;
}

void SendWindow::logRow(int row) {
  std::vector<std::string> cells;
  for (int c = 0; c < 15; ++c) cells.push_back(cell(c, row));
  sendLog.log_write_main(headerCells(), cells);
}

void SendWindow::BEndClick() {
  if (Run_Flg == 0) {
    close();
    return;
  }
  if (Dialogs::instance().message(appTitle(), QStringLiteral("送信を中止しますか?"), MsgIcon::Warning,
                                  MsgButtons::YesNo) == MsgResult::Yes)
    Run_Flg = 0;
}

void SendWindow::closeEvent(QCloseEvent* event) {
  if (Run_Flg == 1) {
    // The run keeps the window alive itself; the close happens when it has ended.
    m_closeAfterRun = true;
    event->ignore();
    return;
  }
  WindowBase::closeEvent(event);
}
