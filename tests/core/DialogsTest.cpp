#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>
#include <map>

#include "core/Application.h"
#include "core/Dialogs.h"

namespace {

// Asks the program's real message-box service a question and answers it by clicking
// one of its buttons; gives the texts of the standard buttons the box showed.
struct AnsweredBox {
  std::map<QMessageBox::StandardButton, QString> buttons;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
  MsgResult result = MsgResult::Ok;
};

AnsweredBox askRealBox(MsgButtons kind, QMessageBox::StandardButton answer) {
  Dialogs::install(nullptr);
  AnsweredBox out;
  const QDeadlineTimer deadline(10000);
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) {
      // A wrong service fails instead of hanging.
      if (deadline.hasExpired()) QApplication::exit();
      return;
    }
    poll.stop();
    for (QAbstractButton* b : box->buttons()) out.buttons[box->standardButton(b)] = b->text();
    out.defaultButton = box->standardButton(box->defaultButton());
    box->button(answer)->click();
  });
  poll.start(10);
  out.result = Dialogs::instance().message(appTitle(), QStringLiteral("よろしいですか？"), MsgIcon::Question, kind);
  return out;
}

TEST(RealDialogs, QuestionBoxesReadJapaneseWithQtsTranslation) {
  std::unique_ptr<QTranslator> japanese = installQtJapanese();
  ASSERT_TRUE(japanese) << "qtbase_ja.qm is missing (Debian qt6-translations-l10n)";
  // The texts come from Qt's translation itself, not from the service's own fallback.
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("はい(&Y)"));
  const AnsweredBox box = askRealBox(MsgButtons::YesNoCancel, QMessageBox::No);
  EXPECT_EQ(box.result, MsgResult::No);
  ASSERT_EQ(box.buttons.size(), 3u);
  EXPECT_TRUE(box.buttons.at(QMessageBox::Yes).startsWith(QStringLiteral("はい"))) << box.buttons.at(QMessageBox::Yes).toStdString();
  EXPECT_TRUE(box.buttons.at(QMessageBox::No).startsWith(QStringLiteral("いいえ"))) << box.buttons.at(QMessageBox::No).toStdString();
  EXPECT_TRUE(box.buttons.at(QMessageBox::Cancel).startsWith(QStringLiteral("キャンセル")))
      << box.buttons.at(QMessageBox::Cancel).toStdString();
}

TEST(RealDialogs, QuestionBoxesReadJapaneseEvenWithoutTheTranslation) {
  const AnsweredBox box = askRealBox(MsgButtons::YesNo, QMessageBox::Yes);
  EXPECT_EQ(box.result, MsgResult::Yes);
  EXPECT_EQ(box.buttons.at(QMessageBox::Yes), QStringLiteral("はい(&Y)"));
  EXPECT_EQ(box.buttons.at(QMessageBox::No), QStringLiteral("いいえ(&N)"));

  const AnsweredBox ok = askRealBox(MsgButtons::OkCancel, QMessageBox::Cancel);
  EXPECT_EQ(ok.result, MsgResult::Cancel);
  EXPECT_EQ(ok.buttons.at(QMessageBox::Cancel), QStringLiteral("キャンセル"));
}

TEST(RealDialogs, OnlyQuestionsThatLoseDataStartOnNo) {
  for (const auto& [kind, startsOnNo] : {std::pair{MsgButtons::YesNo, false}, {MsgButtons::YesNoDefaultNo, true}})
    EXPECT_EQ(askRealBox(kind, QMessageBox::Yes).defaultButton == QMessageBox::No, startsOnNo);
}

}  // namespace
