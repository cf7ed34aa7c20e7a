#include "core/Quormailm.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "core/AppContext.h"
#include "core/Dialogs.h"
#include "core/Sjis.h"
#include "core/VendorPanel.h"

namespace {
int runModal(AppContext& ctx, WindowId id) {
  QDialog* w = ctx.window(id);
  return w ? w->exec() : 0;
}
}  // namespace

TForm1::TForm1(AppContext& ctx, QWidget* parent) : QWidget(parent), m_ctx(ctx) {
  setWindowTitle(QStringLiteral("クオル Ver1.5"));
  setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFixedSize(292, 597);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 16, 0, 0);
  layout->setSpacing(10);
  auto makeButton = [&](const char* name, const QString& caption, void (TForm1::*slot)()) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setFixedSize(217, 35);
    layout->addWidget(b, 0, Qt::AlignHCenter);
    connect(b, &QPushButton::clicked, this, slot);
    return b;
  };
  BRcv_Only = makeButton("BRcv_Only", QStringLiteral("読者情報受信"), &TForm1::BRcv_OnlyClick);
  BSnd_Only = makeButton("BSnd_Only", QStringLiteral("メール送信のみ"), &TForm1::BSnd_OnlyClick);
  BRcv_To_Snd = makeButton("BRcv_To_Snd", QStringLiteral("読者情報受信後、メール送信"), &TForm1::BRcv_To_SndClick);
  BEnv_Mnt = makeButton("BEnv_Mnt", QStringLiteral("FTP、Mail 設定"), &TForm1::BEnv_MntClick);
  BStory = makeButton("BStory", QStringLiteral("ストーリーメンテナンス"), &TForm1::BStoryClick);
  BUser_Mnt = makeButton("BUser_Mnt", QStringLiteral("読者マスターメンテナンス"), &TForm1::BUser_MntClick);
  SpeedButton1 = makeButton("SpeedButton1", QStringLiteral("読者登録フォーム出力"), &TForm1::SpeedButton1Click);
  SpeedButton2 =
      makeButton("SpeedButton2", QStringLiteral("ＣＳＶファイルから読者情報を登録"), &TForm1::SpeedButton2Click);
  Bend = makeButton("Bend", QStringLiteral("終　了"), &TForm1::BendClick);
  layout->addStretch(1);

  // A static information panel across the bottom in place of the maker's web page.
  webInfo = makeVendorPanel(this);
  webInfo->setFixedHeight(80);
  layout->addWidget(webInfo);
}

void TForm1::FormCreate() {
  try {
    m_ctx.openDatabase();
  } catch (const DbError& e) {
    ShowError(Sjis::toQ(e.what()));
  }
}

void TForm1::showAgain() {
  show();
  raise();
  activateWindow();
}

void TForm1::BRcv_OnlyClick() {
  m_ctx.Rcv_Only_Flg = 1;
  hide();
  m_ctx.Ftp_Init_Flg = 1;
  runModal(m_ctx, WindowId::FtpRcv);
  m_ctx.Ftp_Init_Flg = 0;
  showAgain();
}

void TForm1::BSnd_OnlyClick() {
  m_ctx.Snd_Only_Flg = 1;
  hide();
  m_ctx.Snd_Init_Flg = 1;
  runModal(m_ctx, WindowId::Send);
  m_ctx.Snd_Init_Flg = 1;
  showAgain();
}

void TForm1::BRcv_To_SndClick() {
  m_ctx.Rcv_Only_Flg = 0;
  hide();
  m_ctx.Ftp_Init_Flg = 1;
  runModal(m_ctx, WindowId::FtpRcv);
  m_ctx.Ftp_Init_Flg = 0;
  m_ctx.Snd_Only_Flg = 0;
  m_ctx.Snd_Init_Flg = 1;
  runModal(m_ctx, WindowId::Send);
  m_ctx.Snd_Init_Flg = 1;
  showAgain();
}

void TForm1::BEnv_MntClick() {
  hide();
  m_ctx.Env_Init_Flg = 1;
  m_ctx.Env_Page_No = 0;
  runModal(m_ctx, WindowId::EnvSet);
  showAgain();
}

void TForm1::BStoryClick() {
  hide();
  m_ctx.Story_Init_Flg = 1;
  runModal(m_ctx, WindowId::Story);
  m_ctx.Story_Init_Flg = 0;
  showAgain();
}

void TForm1::BUser_MntClick() {
  hide();
  m_ctx.User_Init_Flg = 1;
  runModal(m_ctx, WindowId::UserMnt);
  m_ctx.User_Init_Flg = 0;
  showAgain();
}

void TForm1::SpeedButton1Click() {
  hide();
  m_ctx.Html_Init_Flg = 1;
  runModal(m_ctx, WindowId::Html);
  m_ctx.Html_Init_Flg = 0;
  showAgain();
}

void TForm1::SpeedButton2Click() {
  hide();
  m_ctx.Csv_Init_Flg = 1;
  runModal(m_ctx, WindowId::Csv);
  m_ctx.Csv_Init_Flg = 0;
  showAgain();
}

void TForm1::BendClick() { close(); }
