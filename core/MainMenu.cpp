#include "core/MainMenu.h"

#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "core/AppContext.h"
#include "core/Dialogs.h"
#include "core/MenuStatus.h"
#include "core/Sjis.h"
#include "core/InformationPanel.h"


MainMenu::MainMenu(AppContext& ctx, QWidget* parent) : QWidget(parent), m_ctx(ctx) {
  setWindowTitle(QStringLiteral("クオル Ver1.5"));
  setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFixedSize(292, 597);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 16, 0, 0);
  layout->setSpacing(10);
  // Object names stay the controls' established names: tools that drive the windows look
  // controls up by them.
  auto makeButton = [&](const char* name, const QString& caption, void (MainMenu::*slot)()) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setFixedSize(217, 35);
    layout->addWidget(b, 0, Qt::AlignHCenter);
    connect(b, &QPushButton::clicked, this, slot);
    return b;
  };
  receiveButton = makeButton("BRcv_Only", QStringLiteral("読者情報受信"), &MainMenu::openReceive);
  sendButton = makeButton("BSnd_Only", QStringLiteral("メール送信のみ"), &MainMenu::openSend);
  receiveThenSendButton = makeButton("BRcv_To_Snd", QStringLiteral("読者情報受信後、メール送信"), &MainMenu::openReceiveThenSend);
  settingsButton = makeButton("BEnv_Mnt", QStringLiteral("FTP、Mail 設定"), &MainMenu::openSettings);
  storyButton = makeButton("BStory", QStringLiteral("ストーリーメンテナンス"), &MainMenu::openStories);
  readersButton = makeButton("BUser_Mnt", QStringLiteral("読者マスターメンテナンス"), &MainMenu::openReaders);
  registrationFormButton = makeButton("SpeedButton1", QStringLiteral("読者登録フォーム出力"), &MainMenu::openRegistrationForm);
  csvImportButton =
      makeButton("SpeedButton2", QStringLiteral("ＣＳＶファイルから読者情報を登録"), &MainMenu::openCsvImport);
  endButton = makeButton("Bend", QStringLiteral("終　了"), &MainMenu::closeMenu);

  statusLine = new QLabel(this);
  statusLine->setObjectName(QStringLiteral("statusLine"));
  statusLine->setWordWrap(true);
  statusLine->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  statusLine->setContentsMargins(12, 0, 12, 0);
  layout->addWidget(statusLine, 1);

  // A static information panel across the bottom in place of the maker's web page.
  informationPanel = makeInformationPanel(this);
  informationPanel->setFixedHeight(80);
  layout->addWidget(informationPanel);
}

void MainMenu::openDatabase(const std::string& creationFailure) {
  try {
    m_ctx.openDatabase();
  } catch (const DbError& e) {
    showError(Sjis::toQ(m_ctx.databaseProblemText(creationFailure.empty() ? e.what() : creationFailure)));
  }
}

void MainMenu::refreshStatus() {
  auto button = [](const QPushButton* b) { return QStringLiteral("「") + b->text() + QStringLiteral("」"); };
  QStringList lines;
  QString next;
  const QStringList pages = incompleteSettingsPages ? incompleteSettingsPages() : QStringList();
  if (pages.isEmpty()) {
    lines << QStringLiteral("設定: 完了");
  } else {
    lines << QStringLiteral("設定: 未完了（") + pages.join(QStringLiteral("、")) + QStringLiteral("）");
    next = QStringLiteral("→") + button(settingsButton) + QStringLiteral("で入力してください。");
  }
  try {
    const MenuCounts counts = MenuCounts::read(m_ctx.query);
    const int due = dueReaderCount ? dueReaderCount() : 0;
    lines << QStringLiteral("ストーリー %1通　読者 %2名　送信対象 %3名")
                 .arg(counts.stories)
                 .arg(counts.readers)
                 .arg(due);
    // One next step: settings first, then the first story, the first readers, a send.
    if (next.isEmpty() && counts.stories == 0)
      next = QStringLiteral("→") + button(storyButton) + QStringLiteral("で最初のメールを登録してください。");
    if (next.isEmpty() && counts.readers == 0)
      next = QStringLiteral("→") + button(readersButton) + QStringLiteral("か") + button(receiveButton) +
             QStringLiteral("で読者を登録してください。");
    if (next.isEmpty() && due > 0)
      next = QStringLiteral("→") + button(sendButton) + QStringLiteral("で送信できます。");
  } catch (const DbError&) {
    // The reason was shown once at start; the line only says so.
    lines << QStringLiteral("データベースを開けません。");
  }
  if (!next.isEmpty()) lines << next;
  statusLine->setText(lines.join(QLatin1Char('\n')));
}

void MainMenu::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!m_placed) {
    // The menu opens in the middle of the screen it is on.
    m_placed = true;
    if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
  }
  refreshStatus();
}

void MainMenu::keyPressEvent(QKeyEvent* event) {
  // Enter presses the focused menu button, as Space does.
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (auto* b = qobject_cast<QPushButton*>(focusWidget()); enter && b && event->modifiers() == Qt::NoModifier) {
    b->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void MainMenu::showAgain() {
  show();
  raise();
  activateWindow();
}

void MainMenu::run(Task task) {
  hide();
  if (openTask) openTask(task);
  showAgain();
}

void MainMenu::openReceive() { run(Task::receive); }
void MainMenu::openSend() { run(Task::send); }
void MainMenu::openReceiveThenSend() { run(Task::receiveThenSend); }
void MainMenu::openSettings() { run(Task::settings); }
void MainMenu::openStories() { run(Task::stories); }
void MainMenu::openReaders() { run(Task::readers); }
void MainMenu::openRegistrationForm() { run(Task::registrationForm); }
void MainMenu::openCsvImport() { run(Task::csvImport); }

void MainMenu::closeMenu() { close(); }
