#include "intake/RegistrationFormWindow.h"

#include <QClipboard>
#include <QLabel>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/AppContext.h"
#include "core/Sjis.h"
#include "intake/RegistrationForm.h"
#include "core/InformationPanel.h"

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

RegistrationFormWindow::RegistrationFormWindow(AppContext& ctx, QWidget* parent) : WindowBase(ctx, parent) {
  setWindowTitle(QStringLiteral("クオル　読者登録フォーム出力"));
  resize(640, 720);
  auto* layout = new QVBoxLayout(this);
  Memo1 = snippetBox(RegistrationForm::nameAndAddress(), this);
  b1 = new QPushButton(QStringLiteral("名前とメールアドレス入力フォームをクリックボードにコピー"), this);
  Memo2 = snippetBox(RegistrationForm::addressOnly(), this);
  B2 = new QPushButton(QStringLiteral("メールアドレス入力フォームをクリックボードにコピー"), this);
  Bend = new QPushButton(QStringLiteral("メニューへ戻る"), this);
  for (QPushButton* b : {b1, B2, Bend}) b->setAutoDefault(false);
  layout->addWidget(Memo1, 1);
  layout->addWidget(b1);
  layout->addWidget(Memo2, 1);
  layout->addWidget(B2);
  layout->addWidget(Bend);
  layout->addWidget(makeInformationPanel(this));
  connect(b1, &QPushButton::clicked, this, &RegistrationFormWindow::b1Click);
  connect(B2, &QPushButton::clicked, this, &RegistrationFormWindow::B2Click);
  connect(Bend, &QPushButton::clicked, this, &RegistrationFormWindow::BendClick);
}

void RegistrationFormWindow::activate() {
  if (m_ctx.initRegistrationForm) m_ctx.initRegistrationForm = 0;
}

void RegistrationFormWindow::b1Click() { copySnippet(Memo1, RegistrationForm::nameAndAddress()); }

void RegistrationFormWindow::B2Click() { copySnippet(Memo2, RegistrationForm::addressOnly()); }

void RegistrationFormWindow::BendClick() { close(); }
