#pragma once
#include <QDialog>

class QPlainTextEdit;
class QPushButton;

// A read-only view of one reader's next mail as a mail reader shows it: sender,
// recipient and subject, then the body. Stays open beside the send window.
class MailPreview : public QDialog {
  Q_OBJECT
 public:
  explicit MailPreview(QWidget* parent = nullptr);

  void showMail(const QString& caption, const QString& text);
  QString text() const;
  QPlainTextEdit* textView() const { return m_textView; }

 private:
  QPlainTextEdit* m_textView;
  QPushButton* m_closeButton;
};
