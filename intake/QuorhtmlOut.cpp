#include "intake/QuorhtmlOut.h"

#include <QClipboard>
#include <QLabel>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/AppContext.h"
#include "core/Sjis.h"
#include "intake/RegistForm.h"
#include "core/VendorPanel.h"

namespace {

QPlainTextEdit* snippetBox(const std::string& snippet, QWidget* parent) {
  auto* box = new QPlainTextEdit(parent);
  box->setReadOnly(true);
  box->setLineWrapMode(QPlainTextEdit::NoWrap);
  box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  box->setPlainText(Sjis::toQ(snippet).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  return box;
}

// Selects the whole snippet on screen and puts it on the clipboard as it is: the text
// box would hand out LF line ends, the web page wants the snippet's CR LF.
void copySnippet(QPlainTextEdit* box, const std::string& snippet) {
  box->setFocus();
  box->selectAll();
  QGuiApplication::clipboard()->setText(Sjis::toQ(snippet));
}

}  // namespace

Tfhtml_make::Tfhtml_make(AppContext& ctx, QWidget* parent) : FormBase(ctx, parent) {
  setWindowTitle(QStringLiteral("クオル　読者登録フォーム出力"));
  resize(640, 720);
  auto* layout = new QVBoxLayout(this);
  Memo1 = snippetBox(RegistForm::nameAndAddress(), this);
  b1 = new QPushButton(QStringLiteral("名前とメールアドレス入力フォームをクリックボードにコピー"), this);
  Memo2 = snippetBox(RegistForm::addressOnly(), this);
  B2 = new QPushButton(QStringLiteral("メールアドレス入力フォームをクリックボードにコピー"), this);
  Bend = new QPushButton(QStringLiteral("メニューへ戻る"), this);
  for (QPushButton* b : {b1, B2, Bend}) b->setAutoDefault(false);
  layout->addWidget(Memo1, 1);
  layout->addWidget(b1);
  layout->addWidget(Memo2, 1);
  layout->addWidget(B2);
  layout->addWidget(Bend);
  layout->addWidget(makeVendorPanel(this));
  connect(b1, &QPushButton::clicked, this, &Tfhtml_make::b1Click);
  connect(B2, &QPushButton::clicked, this, &Tfhtml_make::B2Click);
  connect(Bend, &QPushButton::clicked, this, &Tfhtml_make::BendClick);
}

void Tfhtml_make::FormActivate() {
  if (m_ctx.Html_Init_Flg) m_ctx.Html_Init_Flg = 0;
}

void Tfhtml_make::b1Click() { copySnippet(Memo1, RegistForm::nameAndAddress()); }

void Tfhtml_make::B2Click() { copySnippet(Memo2, RegistForm::addressOnly()); }

void Tfhtml_make::BendClick() { close(); }
