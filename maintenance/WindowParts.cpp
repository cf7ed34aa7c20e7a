#include "maintenance/WindowParts.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDesktopServices>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QUrl>
#include <QValidator>

#include "core/Database.h"
#include "core/Dialogs.h"
#include "core/Sjis.h"

namespace WindowParts {

std::array<QPushButton*, 12> makeFunctionBar(QWidget* parent, QBoxLayout* layout,
                                             const std::array<const char*, 12>& names,
                                             const std::array<QString, 12>& captions,
                                             const std::array<QString, 12>& hints) {
  std::array<QPushButton*, 12> buttons{};
  auto* bar = new QGridLayout;
  bar->setHorizontalSpacing(2);
  bar->setVerticalSpacing(0);
  for (size_t i = 0; i < buttons.size(); ++i) {
    const int column = static_cast<int>(i);
    auto* b = new QPushButton(captions[i], parent);
    b->setObjectName(QString::fromLatin1(names[i]));
    b->setFocusPolicy(Qt::NoFocus);
    b->setMinimumWidth(60);
    const QString bare = QStringLiteral("F%1").arg(i + 1);
    const QString dashed = QStringLiteral("F-%1").arg(i + 1);
    const bool captionIsKey = captions[i] == bare || captions[i] == dashed;
    if (captionIsKey) b->setEnabled(false);
    if (!hints[i].isEmpty()) bar->addWidget(new QLabel(hints[i], parent), 0, column, Qt::AlignHCenter);
    if (!captionIsKey) {
      auto* key = new QLabel(bare, parent);
      key->setBuddy(b);
      bar->addWidget(key, 1, column, Qt::AlignHCenter | Qt::AlignBottom);
    }
    bar->addWidget(b, 2, column);
    buttons[i] = b;
  }
  layout->addLayout(bar);
  return buttons;
}

void runGuarded(const std::function<void()>& action) {
  try {
    action();
  } catch (const DbError& e) {
    showError(Sjis::toQ(e.what()));
  }
}

void limitTyping(QLineEdit* edit, int maxChars) {
  const QRegularExpression upTo(QStringLiteral("^.{0,%1}$").arg(maxChars),
                                QRegularExpression::DotMatchesEverythingOption);
  edit->setValidator(new QRegularExpressionValidator(upTo, edit));
}

namespace {
// Accepts a text while its CP932 bytes fit the width.
class ByteWidthValidator : public QValidator {
 public:
  ByteWidthValidator(int maxBytes, QObject* parent) : QValidator(parent), m_maxBytes(maxBytes) {}
  State validate(QString& input, int&) const override {
    return static_cast<int>(Sjis::fromQ(input).size()) <= m_maxBytes ? Acceptable : Invalid;
  }

 private:
  int m_maxBytes;
};
}  // namespace

void limitTypingBytes(QLineEdit* edit, int maxBytes) { edit->setValidator(new ByteWidthValidator(maxBytes, edit)); }

void reportFailure(QLabel* messageLine, const QString& prefix, const char* what) {
  const QString text = prefix + Sjis::toQ(what);
  messageLine->setText(text);
  showError(text);
}

bool isEnterIn(const QKeyEvent* event, const QWidget* widget) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  return enter && QApplication::focusWidget() == widget;
}

void keepTextReadable(QWidget* field) {
  QPalette palette = field->palette();
  palette.setColor(QPalette::Disabled, QPalette::Text, palette.color(QPalette::Active, QPalette::Text));
  // A slightly greyed background still tells the operator the field cannot be typed in.
  palette.setColor(QPalette::Disabled, QPalette::Base, palette.color(QPalette::Active, QPalette::Window));
  field->setPalette(palette);
}

bool confirmDiscard() { return askBeforeLosing(QStringLiteral("変更を保存せずに閉じますか？")); }

bool confirmClear() { return askBeforeLosing(QStringLiteral("変更を保存せずに画面をクリアしますか？")); }

QString savedText() { return QStringLiteral("登録しました。"); }

void setInputMethodOpen(QWidget* w, bool open) { w->setInputMethodHints(open ? Qt::ImhNone : Qt::ImhPreferLatin); }

}  // namespace WindowParts
