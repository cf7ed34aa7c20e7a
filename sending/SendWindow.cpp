#include "sending/SendWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>
#include <array>

#include "controls/StripedGrid.h"
#include "core/HistoryDialog.h"
#include "settings/SendPace.h"
#include "core/SendHistory.h"
#include "core/Clock.h"
#include "core/AppContext.h"
#include "core/Dialogs.h"
#include "core/InformationPanel.h"
#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "sending/BounceRun.h"
#include "sending/MailPreview.h"
#include "sending/SendListener.h"
#include "settings/PasswordPrompt.h"
#include "settings/SettingsDialogs.h"
#include "settings/SettingsFiles.h"

namespace {

constexpr int kColumnCount = DueReader::kColumnCount;

Qt::Alignment alignmentOf(int column) {
  return DueReader::kColumns[static_cast<size_t>(column)].alignment == CellAlignment::centre ? Qt::AlignHCenter
                                                                                               : Qt::AlignLeft;
}

// Space between a cell's text and its borders.
constexpr int kCellPaddingX = 5;
constexpr int kCellPaddingY = 2;

// The rows from this one on scroll the list so the reader being sent stays in view.
constexpr int kFirstScrolledRow = 16;

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

// The list's texts of an enum's N values, converted once.
template <typename Enum, size_t N, const std::string& (*textOf)(Enum)>
const QString& shownText(Enum value) {
  static const std::array<QString, N> texts = [] {
    std::array<QString, N> t;
    for (size_t i = 0; i < N; ++i) t[i] = Sjis::toQ(textOf(static_cast<Enum>(i)));
    return t;
  }();
  return texts[static_cast<size_t>(value)];
}

const QString& shownMark(SendMark mark) { return shownText<SendMark, kSendMarkCount, markText>(mark); }
const QString& shownEligibility(Eligibility e) { return shownText<Eligibility, 3, eligibilityText>(e); }

std::vector<QString> shownCells(const DueReader& r) {
  std::vector<QString> cells;
  cells.reserve(kColumnCount);
  for (const DueColumnSpec& spec : DueReader::kColumns) {
    if (spec.column == DueColumn::mark)
      cells.push_back(shownMark(r.mark));
    else if (spec.column == DueColumn::eligibility)
      cells.push_back(shownEligibility(r.eligibility));
    else
      cells.push_back(Sjis::toQ(r.shownCell(spec.column)));
  }
  return cells;
}

}  // namespace

// Passes what the run reports from the worker thread to the window's thread, in order;
// the error box is shown there while the run waits for it to close.
class SendWindow::Reporter : public SendListener {
 public:
  explicit Reporter(SendWindow& window) : m_window(window), m_thread(window.m_runThread) {}

  void readerChanged(std::size_t index, const DueReader& reader) override {
    m_thread.post([w = &m_window, index, reader] { w->showReader(index, reader); });
  }
  void progress(int sent, int marked) override {
    m_thread.post([w = &m_window, sent, marked] { w->showProgress(sent, marked); });
  }
  void bouncesRead(const BounceReport& report) override {
    m_thread.post([w = &m_window, summary = Sjis::toQ(report.summary())] { w->m_bounceSummary = summary; });
  }
  void connectionStatus(const std::string& status, const std::string& detail) override {
    m_thread.post([w = &m_window, status = Sjis::toQ(status), detail = Sjis::toQ(detail)] {
      w->m_statusLabel->setText(status);
      w->m_statusDetailLabel->setText(detail);
    });
  }
  void loggingIn() override {
    m_thread.post([w = &m_window] {
      w->m_countdownLabel->hide();
      w->m_workingLabel->setText(QStringLiteral("POP3処理中"));
      w->m_workingLabel->show();
      w->m_workingNoteLabel->hide();
    });
  }
  void sending(const std::string& address) override {
    m_thread.post([w = &m_window, address = Sjis::toQ(address)] {
      w->m_workingLabel->setText(address);
      w->m_workingNoteLabel->setText(QStringLiteral("へメールを送信中"));
      w->m_workingLabel->show();
      w->m_workingNoteLabel->show();
    });
  }
  void countdown(const std::string& text) override {
    m_thread.post([w = &m_window, text = Sjis::toQ(text)] {
      w->m_countdownLabel->show();
      w->m_workingLabel->hide();
      w->m_workingNoteLabel->hide();
      w->m_countdownLabel->setText(text);
    });
  }
  void idle() override {
    m_thread.post([w = &m_window] { w->showIdle(); });
  }
  void error(const std::string& text) override {
    const QString shown = Sjis::toQ(text);
    m_thread.call([&shown] { showError(shown); });
  }

 private:
  SendWindow& m_window;
  RunThread& m_thread;
};

SendWindow::SendWindow(AppContext& ctx, QWidget* parent)
    : WindowBase(ctx, parent),
      m_run(ctx.query, ctx.file("SndMail.log"), m_smtp, m_pop3),
      m_reporter(std::make_unique<Reporter>(*this)),
      m_policy(std::make_unique<Policy>(*this)) {
  setWindowTitle(QStringLiteral("クオル メール送信"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  resize(858, 499);

  auto* root = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("最終ｽﾄｰﾘｰ番号"), this));
  m_lastStoryEdit = new QLineEdit(this);
  m_lastStoryEdit->setReadOnly(true);
  m_lastStoryEdit->setFixedWidth(60);
  m_lastStoryEdit->setFocusPolicy(Qt::NoFocus);
  top->addWidget(m_lastStoryEdit);
  // Holds the number of listed readers; kept out of sight like its label.
  m_listedCountEdit = new QLineEdit(this);
  m_listedCountEdit->setReadOnly(true);
  m_listedCountEdit->hide();
  top->addSpacing(20);
  top->addWidget(new QLabel(QStringLiteral("１：送信する　０：送信解除 "), this));
  top->addStretch(1);
  m_countsLabel = new QLabel(this);
  top->addWidget(m_countsLabel);
  top->addSpacing(20);
  m_progressLabel = new QLabel(this);
  top->addWidget(m_progressLabel);
  root->addLayout(top);

  m_readerGrid = new StripedGrid(this);
  m_readerGrid->columns().clear();
  for (int c = 0; c < kColumnCount; ++c) {
    GridColumn& col = m_readerGrid->columns().add();
    const DueColumnSpec& spec = DueReader::kColumns[static_cast<size_t>(c)];
    col.setCaption(QString::fromUtf8(spec.caption));
    col.setAlignment(alignmentOf(c));
    // The address column takes a 40-character address whole.
    const int width = spec.column == DueColumn::address
                          ? std::max(spec.width, fontMetrics().horizontalAdvance(
                                                     QStringLiteral("taro.yamada.sales-department@example.com")) +
                                                     2 * kCellPaddingX + 4)
                          : spec.width;
    col.width = width;
    col.canEdit = c == 0;
    col.imeMode = ImeMode::close;
    m_readerGrid->setColWidth(c, width);
  }
  m_readerGrid->setDefaultRowHeight(20 + 2 * kCellPaddingY);
  m_readerGrid->defaultDrawing = false;  // drawCell draws every cell, with padding
  m_readerGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_readerGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  m_readerGrid->setLineStyle(GridLineStyle::striped);
  m_readerGrid->setStripeColor(QColor(255, 247, 255));
  m_readerGrid->onDrawCell = [this](QPainter* p, int col, int row, const QRect& r, bool sel) {
    drawCell(p, col, row, r, sel);
  };
  // Only listed rows can be selected: the empty rows below the list stay out of reach.
  connect(m_readerGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& now, const QModelIndex& before) {
            if (now.isValid() && static_cast<size_t>(now.row()) >= m_shownMarks.size() && before.isValid())
              m_readerGrid->setCurrentIndex(before);
          });
  root->addWidget(m_readerGrid, 1);

  auto* progress = new QHBoxLayout;
  m_statusLabel = new QLabel(this);
  m_statusDetailLabel = new QLabel(this);
  m_statusDetailLabel->hide();
  m_workingLabel = boldLabel(this, QStringLiteral("-- 処理中 --"), Qt::red);
  m_workingNoteLabel = boldLabel(this, QStringLiteral("-- 処理中 --"), Qt::red);
  m_countdownLabel = new QLabel(this);
  m_successLabel = boldLabel(this, QStringLiteral("正常終了"), Qt::blue);
  m_errorLabel = boldLabel(this, QStringLiteral("エラーで終了しました。"), Qt::red);
  for (QWidget* w : std::initializer_list<QWidget*>{m_statusLabel, m_workingLabel, m_workingNoteLabel,
                                                   m_countdownLabel, m_successLabel, m_errorLabel})
    progress->addWidget(w);
  progress->addStretch(1);
  root->addLayout(progress);

  QLabel* webInfo = makeInformationPanel(this);
  webInfo->setFixedHeight(40);
  root->addWidget(webInfo);

  auto* bar = new QHBoxLayout;
  const char* captions[12] = {"F1 開　始", "F2 全選択", "F3 プレビュー", "F4 テスト送信", "F5 前回結果", "F6 全解除",
                              "F-7",       "F-8",       "F-9",           "F-10",          "F-11", "F12 終 了"};
  std::array<QPushButton*, 12> buttons{};
  for (size_t i = 0; i < buttons.size(); ++i) {
    buttons[i] = new QPushButton(QString::fromUtf8(captions[i]), this);
    buttons[i]->setFocusPolicy(Qt::NoFocus);
    buttons[i]->setEnabled(false);
    // The bar shares the window's width; each caption keeps the room it needs.
    buttons[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    buttons[i]->setMinimumWidth(buttons[i]->fontMetrics().horizontalAdvance(buttons[i]->text()) + 14);
    bar->addWidget(buttons[i], 1);
  }
  m_startButton = buttons[0];
  m_markAllButton = buttons[1];
  m_previewButton = buttons[2];
  m_testMailButton = buttons[3];
  m_lastRunButton = buttons[4];
  m_unmarkAllButton = buttons[5];
  m_endButton = buttons[11];
  m_endButton->setEnabled(true);
  setFunctionButtons(buttons);
  connect(m_startButton, &QPushButton::clicked, this, &SendWindow::start);
  connect(m_markAllButton, &QPushButton::clicked, this, &SendWindow::markAll);
  connect(m_unmarkAllButton, &QPushButton::clicked, this, &SendWindow::unmarkAll);
  connect(m_previewButton, &QPushButton::clicked, this, &SendWindow::showPreview);
  connect(m_testMailButton, &QPushButton::clicked, this, &SendWindow::sendTestMail);
  connect(m_lastRunButton, &QPushButton::clicked, this, &SendWindow::showLastRun);
  connect(m_endButton, &QPushButton::clicked, this, &SendWindow::endClicked);
  root->addLayout(bar);

  m_closeTimer = new QTimer(this);
  m_closeTimer->setInterval(50);
  connect(m_closeTimer, &QTimer::timeout, this, [this] {
    m_closeTimer->stop();
    close();
  });

  m_run.setStopFlag(&m_runThread.stopFlag());
  connect(&m_runThread, &RunThread::finished, this, &SendWindow::runFinished);
}

SendWindow::~SendWindow() {
  // The run must not outlive the window it reports to.
  m_runThread.stopAndWait(nullptr);
}

// ---- initialisation -------------------------------------------------------------

void SendWindow::activate() {
  if (running() || !takePendingInit()) return;
  m_closeTimer->stop();
  m_successLabel->hide();
  m_errorLabel->hide();
  const SettingsPaths paths = SettingsPaths::of(m_ctx);
  // The settings files are read once; the options are what the listing needs of them.
  MailSettings mail = loadMailSettings(paths);
  m_run.setOptions(SendOptions::of(mail, paths));
  try {
    m_run.listDueReaders();
  } catch (const DbError& e) {
    // Not the window's to handle: the standard error box, and the rest of the
    // initialisation is not carried out.
    m_ctx.query.close();
    m_lastStoryEdit->setText(Sjis::toQ(m_run.list().lastStoryText()));
    fillGrid();
    showError(Sjis::toQ(e.what()));
    return;
  }
  m_lastStoryEdit->setText(Sjis::toQ(m_run.list().lastStoryText()));
  fillGrid();
  showIdle();
  showPace(mail);
  m_run.setSettings(std::move(mail));
  m_startButton->setEnabled(true);
  setIdleButtons(true);
  if (m_mode == Mode::afterReceive) {
    m_markAllButton->click();
    m_startButton->click();
  }
}

void SendWindow::fillGrid() {
  m_progressLabel->clear();
  m_bounceSummary.clear();
  m_statusLabel->clear();
  m_statusDetailLabel->clear();
  const std::vector<DueReader>& readers = m_run.list().readers();
  const int listed = static_cast<int>(readers.size());
  m_shownMarks.assign(readers.size(), SendMark::none);
  for (int i = 0; i < listed; ++i) m_shownMarks[static_cast<size_t>(i)] = readers[static_cast<size_t>(i)].mark;
  m_readerGrid->beginUpdate();
  m_readerGrid->setRowCount(1);
  m_readerGrid->setRowCount(std::max(31, listed + 1));
  // The grid asks for the cells it shows; the engine's rows are the only copy of the list.
  // The last row asked for is kept, as a row is painted cell by cell.
  m_readerGrid->setCellSource([this, cachedRow = -1, cached = std::vector<QString>()](int col, int row) mutable {
    const std::vector<DueReader>& rows = m_run.list().readers();
    if (row < 1 || row > static_cast<int>(rows.size())) return QString();
    if (row != cachedRow) {
      cached = shownCells(rows[static_cast<size_t>(row - 1)]);
      cachedRow = row;
    }
    return col < static_cast<int>(cached.size()) ? cached[static_cast<size_t>(col)] : QString();
  });
  m_readerGrid->endUpdate();
  m_readerGrid->setFocus();
  if (listed > 0) m_readerGrid->setRow(1);
  m_listedCountEdit->setText(QString::asprintf("%6d", listed));
  showCounts();
}

void SendWindow::showProgress(int sent, int marked) {
  m_progressLabel->setText(QStringLiteral("%1 / %2 送信済").arg(sent).arg(marked) +
                           (m_bounceSummary.isEmpty() ? QString() : QStringLiteral("　") + m_bounceSummary));
}

void SendWindow::showCounts() {
  m_countsLabel->setText(QStringLiteral("送信対象 %1名　選択 %2名").arg(m_run.list().dueCount()).arg(m_run.list().markedCount()));
}

void SendWindow::showReader(std::size_t index, const DueReader& reader) {
  if (index >= m_shownMarks.size()) return;
  m_shownMarks[index] = reader.mark;
  const int row = static_cast<int>(index) + 1;
  m_readerGrid->setRow(row, shownCells(reader));
  if (reader.mark == SendMark::working && row >= kFirstScrolledRow)
    m_readerGrid->verticalScrollBar()->setValue(row - 14 - 1);
}

void SendWindow::showPace(const MailSettings& mail) {
  // How many of the listed readers this run may serve under the provider's pace, and why
  // not more; nothing when no limit or window holds them back.
  const SendPace pace(mail);
  if (!pace.problem().empty()) return;
  const std::string now = Clock::nowStamp();
  SendPace counted = pace;
  try {
    counted.startFromHistory(m_ctx.query, now);
  } catch (const DbError&) {
    m_ctx.query.close();
    return;
  }
  const int allowed = counted.inWindow(now) ? counted.allowedNow(now) : 0;
  if (allowed < 0 || allowed >= m_run.list().dueCount()) return;
  const SendPace::Stop binding = counted.binding(now);
  m_statusLabel->setText(binding == SendPace::Stop::outsideWindow
                             ? Sjis::toQ(counted.reasonText(binding, now))
                             : QStringLiteral("今回送信できるのは %1 名までです（%2）。")
                                   .arg(allowed)
                                   .arg(Sjis::toQ(counted.limitText(binding))));
}

void SendWindow::showIdle() {
  m_countdownLabel->clear();
  m_countdownLabel->hide();
  m_workingLabel->hide();
  m_workingNoteLabel->hide();
}

// ---- marking --------------------------------------------------------------------

void SendWindow::markKey(int row, QChar key) {
  if (row < 1 || static_cast<size_t>(row) > m_shownMarks.size()) return;
  const size_t index = static_cast<size_t>(row - 1);
  const bool canMoveOn = index + 1 < m_shownMarks.size();
  if (key == QLatin1Char('1'))
    m_run.list().mark(index);
  else
    m_run.list().unmark(index);
  showReader(index, m_run.list().readers()[index]);
  showCounts();
  showProgress(0, m_run.list().markedCount());
  if ((key == QLatin1Char('1') || key == QLatin1Char('0')) && canMoveOn) m_readerGrid->setRow(row + 1);
}

void SendWindow::markAll() {
  m_run.list().markAll();
  showMarks();
}

void SendWindow::unmarkAll() {
  m_run.list().unmarkAll();
  showMarks();
}

void SendWindow::showMarks() {
  const std::vector<DueReader>& readers = m_run.list().readers();
  m_readerGrid->beginUpdate();
  for (size_t i = 0; i < readers.size() && i < m_shownMarks.size(); ++i) {
    m_shownMarks[i] = readers[i].mark;
    m_readerGrid->setCell(0, static_cast<int>(i) + 1, shownMark(readers[i].mark));
  }
  m_readerGrid->endUpdate();
  showCounts();
  showProgress(0, m_run.list().markedCount());
}

bool SendWindow::handleKey(QKeyEvent* event) {
  if (pressFunctionKey(event->key())) return true;
  if (QApplication::focusWidget() == m_readerGrid && !event->text().isEmpty() && event->text().at(0).isPrint() &&
      !running()) {
    markKey(m_readerGrid->currentRow(), event->text().at(0));
    return true;
  }
  return false;
}

void SendWindow::drawCell(QPainter* p, int col, int row, const QRect& rect, bool selected) {
  if (col < 0 || col >= kColumnCount) return;
  QColor colour = palette().color(QPalette::Text);
  if (col == 0 && row >= 1 && static_cast<size_t>(row) <= m_shownMarks.size()) {
    const SendMark mark = m_shownMarks[static_cast<size_t>(row - 1)];
    if (mark == SendMark::marked || mark == SendMark::working || mark == SendMark::failed ||
        mark == SendMark::stopped || mark == SendMark::refused || mark == SendMark::unknown)
      colour = Qt::red;
    else if (mark == SendMark::sent)
      colour = Qt::blue;
  }
  p->save();
  p->fillRect(rect, m_readerGrid->cellColor(col, row));
  p->setPen(colour);
  p->drawText(rect.adjusted(kCellPaddingX, kCellPaddingY, -kCellPaddingX, -kCellPaddingY),
              static_cast<int>(alignmentOf(col)) | Qt::AlignVCenter | Qt::TextSingleLine,
              m_readerGrid->cell(col, row));
  p->restore();
  if (selected) {
    // A thin frame marks the current row for the "1" and "0" keys.
    p->save();
    p->setPen(QPen(QColor(0, 0, 160), 1));
    p->drawLine(rect.topLeft(), rect.topRight());
    p->drawLine(rect.bottomLeft(), rect.bottomRight());
    p->restore();
  }
}

// ---- start ------------------------------------------------------------------------

void SendWindow::openMailSettings() {
  // Corrected settings take effect at the window's next opening, not in this one.
  openSettingsWindow(m_ctx, SettingsWindow::Page::mail);
}

class SendWindow::Policy : public SendPolicy {
 public:
  explicit Policy(SendWindow& window) : m_window(window) {}
  void refuse(const StartCheck& check) override { m_window.refuseStart(check); }
  CharacterDecision decideCharacters(const CharacterCheck& check) override {
    // The chain nobody watches follows the setting when only readers' names are at issue.
    if (m_window.m_mode == Mode::afterReceive && check.onlyInNames())
      return m_window.m_run.settings().substituteCharacters() ? CharacterDecision::substitute
                                                               : CharacterDecision::withoutSubstitutes;
    return m_window.acceptSubstitutes(check) ? CharacterDecision::substitute : CharacterDecision::stop;
  }
  // The operator may send outside the sending days and hours; the chain nobody watches
  // does not.
  bool sendOutsideWindow(const std::string& text) override {
    const QString shown = Sjis::toQ(text).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (m_window.m_mode == Mode::afterReceive) {
      showMessage(shown);
      m_window.m_closeTimer->start();
      return false;
    }
    return askYesNo(shown + QStringLiteral("\n\n今、送信しますか？"));
  }
  // Every run the window starts asks once, the receive-then-send chain included.
  bool confirm(const DueList&) override { return m_window.confirmRun(); }
  bool obtainPasswords(MailSettings&) override { return m_window.obtainPasswords(); }

 private:
  SendWindow& m_window;
};

void SendWindow::start() {
  if (running()) return;
  bool ready = false;
  try {
    m_session = std::make_unique<SendSession>(m_run, *m_policy, m_ctx.databaseName());
    ready = m_session->prepare();
  } catch (const DbError& e) {
    // The stories could not be read: the standard error box, and the run counts as
    // ended abnormally before it began.
    m_ctx.query.close();
    showError(Sjis::toQ(e.what()));
    m_errorLabel->setText(QStringLiteral("エラーで終了しました。"));
    m_errorLabel->show();
    if (m_mode == Mode::afterReceive) m_closeTimer->start();
  }
  if (ready)
    beginRun();
  else
    m_session.reset();
}

void SendWindow::refuseStart(const StartCheck& check) {
  showMessage(Sjis::toQ(check.message));
  // In the chain the window closes itself once the operator has confirmed.
  if (check.outcome == StartCheck::Outcome::nothingDue && m_mode == Mode::afterReceive) m_closeTimer->start();
  if (check.outcome == StartCheck::Outcome::busy && m_mode == Mode::afterReceive) {
    m_errorLabel->setText(QStringLiteral("エラーで終了しました。"));
    m_errorLabel->show();
    m_closeTimer->start();
  }
  if (check.outcome == StartCheck::Outcome::settingsProblem) openMailSettings();
}

bool SendWindow::settleCharacters(std::size_t index) {
  MailBuilder& mails = m_run.mails();
  mails.setReplaceUncarriable(false);
  const CharacterCheck check = mails.checkCharacters(m_run.list(), {index});
  if (check.clean()) return true;
  if (!acceptSubstitutes(check)) return false;
  mails.setReplaceUncarriable(true);
  return true;
}

bool SendWindow::acceptSubstitutes(const CharacterCheck& check) {
  const QString list = Sjis::toQ(check.report).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  const auto refuse = [this](const QString& text) {
    showError(text);
    if (m_mode == Mode::afterReceive) {
      m_errorLabel->setText(QStringLiteral("エラーで終了しました。"));
      m_errorLabel->show();
      m_closeTimer->start();
    }
    return false;
  };
  if (!check.allReplaceable)
    return refuse(QStringLiteral("ISO-2022-JPのメールで送れない文字があります。代替文字のない文字があるため、送信を中止します。\n\n") +
                  list);
  if (m_mode == Mode::afterReceive)
    return refuse(QStringLiteral("ISO-2022-JPのメールで送れない文字があります。送信を中止します。\n\n") + list);
  return askYesNo(QStringLiteral("ISO-2022-JPのメールで送れない文字があります。\n\n") + list +
                  QStringLiteral("\n代替文字に置き換えて送信しますか？\n（置き換えるのは今回のメールだけで、"
                                 "登録内容は変わりません。いいえ: 送信を中止します）"));
}

bool SendWindow::confirmRun() {
  QStringList stories;
  const std::vector<int> numbers = m_run.list().markedStories();
  for (std::size_t i = 0; i < numbers.size() && i < 20; ++i) stories << QString::number(numbers[i]);
  if (numbers.size() > 20) stories << QStringLiteral("…");
  QString text = QStringLiteral("%1名の読者にメールを送信します。よろしいですか？\nストーリー番号: %2")
                     .arg(m_run.list().markedCount())
                     .arg(stories.join(QStringLiteral(", ")));
  if (m_mode == Mode::afterReceive)
    text = QStringLiteral("受信を終えました。新規登録 %1名、送信対象 %2名です。\n\n").arg(m_newRegistrations).arg(m_run.list().dueCount()) + text;
  // Yes is the box's default button: F1 then Enter sends.
  if (askYesNo(text)) return true;
  // Declined in the chain: the window stays open as the operator's own send window.
  m_mode = Mode::sendOnly;
  return false;
}

bool SendWindow::obtainPasswords() {
  MailSettings& settings = m_run.settings();
  // The POP3 password only serves POP before SMTP.
  if (settings.popBeforeSmtp()) {
    if (settings.passwordSaved() && !askSavedOrTypedPassword(settings.password)) {
      openMailSettings();
      return false;
    }
    if (settings.passwordAsked()) {
      const std::optional<std::string> entered = askPassword(m_ctx, PasswordFor::Pop3);
      if (!entered || trim(*entered).empty()) return false;
      settings.password = *entered;
    }
  }
  if (settings.smtpLogin()) {
    if (settings.smtpPasswordSaved() && !askSavedOrTypedPassword(settings.smtpPassword)) {
      openMailSettings();
      return false;
    }
    if (!settings.smtpPasswordSaved()) {
      const std::optional<std::string> entered = askPassword(m_ctx, PasswordFor::Smtp);
      if (!entered || trim(*entered).empty()) return false;
      settings.smtpPassword = *entered;
    }
  }
  return true;
}

void SendWindow::setIdleButtons(bool enabled) {
  m_markAllButton->setEnabled(enabled);
  m_unmarkAllButton->setEnabled(enabled);
  m_previewButton->setEnabled(enabled);
  m_testMailButton->setEnabled(enabled);
  m_lastRunButton->setEnabled(enabled);
}

void SendWindow::beginRun() {
  for (int c = 0; c < m_readerGrid->columns().count(); ++c) m_readerGrid->columns()[c].canEdit = false;
  m_startButton->setEnabled(false);
  setIdleButtons(false);
  m_endButton->setText(QStringLiteral("F12 中 断"));
  m_successLabel->hide();
  m_errorLabel->hide();
  m_report = SendReport{};
  m_runThread.start([this] { m_report = m_session->execute(*m_reporter); });
}

// ---- preview and test mail ----------------------------------------------------------

void SendWindow::showPreview() {
  const int row = m_readerGrid->currentRow();
  if (running() || row < 1 || static_cast<std::size_t>(row) > m_run.list().readers().size()) return;
  const std::size_t index = static_cast<std::size_t>(row - 1);
  QString text;
  try {
    text = Sjis::toQ(m_run.mails().previewText(m_run.list().at(index))).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  } catch (const DbError& e) {
    m_ctx.query.close();
    showError(Sjis::toQ(e.what()));
    return;
  }
  if (!m_preview) m_preview = new MailPreview(this);
  m_preview->showMail(QStringLiteral("メールのプレビュー（読者ID %1）").arg(QString::number(m_run.list().readers()[index].reader.id)),
                      text);
}

void SendWindow::showLastRun() {
  if (running()) return;
  std::vector<HistoryEntry> entries;
  try {
    entries = HistoryStore(m_ctx.query).lastRun();
  } catch (const DbError& e) {
    m_ctx.query.close();
    showError(Sjis::toQ(e.what()));
    return;
  }
  // Opened without blocking the window, and gone when closed.
  auto* dialog = new HistoryDialog(QStringLiteral("前回の送信結果"), entries, true, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->open();
}

void SendWindow::sendTestMail() {
  const int row = m_readerGrid->currentRow();
  if (running() || row < 1 || static_cast<std::size_t>(row) > m_run.list().readers().size()) return;
  const std::size_t index = static_cast<std::size_t>(row - 1);
  const QString initial = m_testAddress.isEmpty() ? Sjis::toQ(trim(m_run.settings().senderAddress)) : m_testAddress;
  const std::optional<QString> typed = Dialogs::instance().askText(
      appTitle(), QStringLiteral("テストメールの送信先メールアドレスを入力して下さい。"), initial);
  if (!typed) return;
  const std::string address = trim(Sjis::fromQ(*typed));
  if (address.empty()) return;
  if (!isHalfWidth(address) || address.find('@') == std::string::npos ||
      address.find_first_of(" \t\r\n<>,;\"") != std::string::npos) {
    showMessage(QStringLiteral("テストメールの送信先メールアドレスに誤りがあります。"));
    return;
  }
  m_testAddress = Sjis::toQ(address);
  const StartCheck check = checkSettings(m_run.settings());
  if (!check.ready()) {
    showMessage(Sjis::toQ(check.message));
    openMailSettings();
    return;
  }
  try {
    if (!settleCharacters(index)) return;
  } catch (const DbError& e) {
    m_ctx.query.close();
    showError(Sjis::toQ(e.what()));
    return;
  }
  if (!obtainPasswords()) return;
  m_startButton->setEnabled(false);
  setIdleButtons(false);
  m_testMailRunning = true;
  m_testMailSent = false;
  m_runThread.start([this, index, address] { m_testMailSent = m_run.sendTestMail(index, address, *m_reporter); });
}

void SendWindow::runFinished(const QString& error) {
  // An exception the run did not expect: the standard error box, and the run counts
  // as ended abnormally.
  if (!error.isEmpty()) showError(error);
  if (m_testMailRunning) {
    // A test mail leaves the window as it was before.
    m_testMailRunning = false;
    showIdle();
    m_startButton->setEnabled(true);
    setIdleButtons(true);
    if (m_testMailSent && error.isEmpty())
      showMessage(QStringLiteral("テストメールを送信しました。\n送信先: %1").arg(m_testAddress));
  } else {
    m_session.reset();  // lets go of the send lock
    m_successLabel->setVisible(m_report.completed);
    // The operator's stop and the provider's pace are told apart from an error.
    const bool paced = m_report.endedEarly == SendReport::EndedEarly::paced && error.isEmpty();
    m_errorLabel->setText(m_report.endedEarly == SendReport::EndedEarly::stopped && error.isEmpty()
                              ? QStringLiteral("中断しました。")
                          : paced ? QStringLiteral("送信ペースの上限で終了しました。残りは次回送信します。")
                                  : QStringLiteral("エラーで終了しました。"));
    QPalette palette = m_errorLabel->palette();
    palette.setColor(QPalette::WindowText, paced ? QColor(Qt::blue) : QColor(Qt::red));
    m_errorLabel->setPalette(palette);
    m_errorLabel->setVisible(!m_report.completed);
    m_previewButton->setEnabled(true);
    m_lastRunButton->setEnabled(true);
    showCounts();
    // What became of the readers, each outcome counted.
    m_statusLabel->setText(QStringLiteral("送信済 %1　保留 %2　停止 %3　スキップ %4　結果不明 %5")
                               .arg(m_report.sent)
                               .arg(m_report.deferred)
                               .arg(m_report.refused)
                               .arg(m_report.skipped)
                               .arg(m_report.unknown));
  }
  m_endButton->setText(QStringLiteral("F12 終 了"));
  if (m_closeAfterRun) {
    m_closeAfterRun = false;
    close();
  }
}

// ---- stopping and closing -----------------------------------------------------------

void SendWindow::endClicked() {
  if (!running()) {
    close();
    return;
  }
  if (Dialogs::instance().message(appTitle(), QStringLiteral("送信を中止しますか?"), MsgIcon::Warning,
                                  MsgButtons::YesNo) == MsgResult::Yes)
    m_runThread.requestStop();
}

void SendWindow::closeEvent(QCloseEvent* event) {
  if (running()) {
    // The run is asked to stop; the window closes once it has ended.
    m_closeAfterRun = true;
    m_runThread.requestStop();
    event->ignore();
    return;
  }
  WindowBase::closeEvent(event);
}
