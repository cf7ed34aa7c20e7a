#include "core/MainMenu.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "core/AppContext.h"
#include "core/Dialogs.h"
#include "core/Sjis.h"
#include "core/InformationPanel.h"

namespace {
int runModal(AppContext& ctx, WindowId id) {
  QDialog* w = ctx.window(id);
  return w ? w->exec() : 0;
}
}  // namespace

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
  layout->addStretch(1);

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

void MainMenu::showAgain() {
  show();
  raise();
  activateWindow();
}

void MainMenu::openReceive() {
  m_ctx.receiveOnly = 1;
  hide();
  m_ctx.initReceive = 1;
  runModal(m_ctx, WindowId::Receive);
  m_ctx.initReceive = 0;
  showAgain();
}

void MainMenu::openSend() {
  m_ctx.sendOnly = 1;
  hide();
  m_ctx.initSend = 1;
  runModal(m_ctx, WindowId::Send);
  m_ctx.initSend = 1;
  showAgain();
}

void MainMenu::openReceiveThenSend() {
  m_ctx.receiveOnly = 0;
  hide();
  m_ctx.initReceive = 1;
  runModal(m_ctx, WindowId::Receive);
  m_ctx.initReceive = 0;
  m_ctx.sendOnly = 0;
  m_ctx.initSend = 1;
  runModal(m_ctx, WindowId::Send);
  m_ctx.initSend = 1;
  showAgain();
}

void MainMenu::openSettings() {
  hide();
  m_ctx.initSettings = 1;
  m_ctx.settingsPage = 0;
  runModal(m_ctx, WindowId::Settings);
  showAgain();
}

void MainMenu::openStories() {
  hide();
  m_ctx.initStories = 1;
  runModal(m_ctx, WindowId::Story);
  m_ctx.initStories = 0;
  showAgain();
}

void MainMenu::openReaders() {
  hide();
  m_ctx.initReaders = 1;
  runModal(m_ctx, WindowId::Readers);
  m_ctx.initReaders = 0;
  showAgain();
}

void MainMenu::openRegistrationForm() {
  hide();
  m_ctx.initRegistrationForm = 1;
  runModal(m_ctx, WindowId::RegistrationForm);
  m_ctx.initRegistrationForm = 0;
  showAgain();
}

void MainMenu::openCsvImport() {
  hide();
  m_ctx.initCsvImport = 1;
  runModal(m_ctx, WindowId::CsvImport);
  m_ctx.initCsvImport = 0;
  showAgain();
}

void MainMenu::closeMenu() { close(); }
