#include "sending/MailPreview.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

MailPreview::MailPreview(QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  resize(640, 520);
  auto* root = new QVBoxLayout(this);
  m_textView = new QPlainTextEdit(this);
  m_textView->setReadOnly(true);
  // Mail bodies are wrapped by byte count: a fixed-pitch font shows the lines as sent.
  m_textView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  m_textView->setLineWrapMode(QPlainTextEdit::NoWrap);
  root->addWidget(m_textView, 1);
  auto* bar = new QHBoxLayout;
  bar->addStretch(1);
  m_closeButton = new QPushButton(QStringLiteral("閉じる"), this);
  connect(m_closeButton, &QPushButton::clicked, this, &QDialog::close);
  bar->addWidget(m_closeButton);
  root->addLayout(bar);
}

void MailPreview::showMail(const QString& caption, const QString& text) {
  setWindowTitle(caption);
  m_textView->setPlainText(text);
  show();
  raise();
  activateWindow();
}

QString MailPreview::text() const { return m_textView->toPlainText(); }
