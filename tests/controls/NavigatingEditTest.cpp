#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include "controls/NavigatingEdit.h"

namespace {

void key(QWidget* w, int k, const QString& text = QString(), Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, k, mods, text);
  QApplication::sendEvent(w, &press);
}

struct WindowOfEdits : ::testing::Test {
  QWidget form;
  NavigatingEdit* a = new NavigatingEdit(&form);
  NavigatingEdit* b = new NavigatingEdit(&form);
  QPushButton* disabled = new QPushButton(&form);
  NavigatingEdit* c = new NavigatingEdit(&form);
  std::vector<int> pressed;
  std::vector<int> downs;
  QWidget* focusAtEnter = nullptr;

  void SetUp() override {
    auto* l = new QVBoxLayout(&form);
    for (QWidget* w : {static_cast<QWidget*>(a), static_cast<QWidget*>(b), static_cast<QWidget*>(disabled),
                       static_cast<QWidget*>(c)})
      l->addWidget(w);
    disabled->setEnabled(false);
    form.show();
    QApplication::setActiveWindow(&form);
    a->setFocus();
    QObject::connect(b, &NavigatingEdit::keyPressed, [this](int ch) {
      pressed.push_back(ch);
      if (ch == 13) focusAtEnter = QApplication::focusWidget();
    });
    QObject::connect(b, &NavigatingEdit::keyDown, [this](QKeyEvent* e) { downs.push_back(e->key()); });
  }
};

TEST_F(WindowOfEdits, EnterAndDownMoveForwardSkippingDisabledAndWrapping) {
  key(a, Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), b);
  key(b, Qt::Key_Down);
  EXPECT_EQ(QApplication::focusWidget(), c);  // the disabled button is skipped
  key(c, Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), a);  // wraps to the first tab stop
  key(a, Qt::Key_Up);
  EXPECT_EQ(QApplication::focusWidget(), c);  // up from the first goes to the last
}

TEST_F(WindowOfEdits, EnterHandlerRunsAfterTheFocusMovedAndNothingIsInserted) {
  b->setFocus();
  b->setText("x");
  key(b, Qt::Key_Return, QStringLiteral("\r"));
  ASSERT_EQ(pressed, std::vector<int>{13});
  EXPECT_EQ(focusAtEnter, c);
  EXPECT_EQ(b->text(), QStringLiteral("x"));
  EXPECT_TRUE(downs.empty());  // navigation keys raise no key-down event
}

TEST_F(WindowOfEdits, ClearedNavigationFlagsLeaveTheFocusAndRaiseNoKeyDown) {
  b->useUp = b->useDown = b->useEnter = false;
  b->setFocus();
  key(b, Qt::Key_Up);
  key(b, Qt::Key_Down);
  key(b, Qt::Key_Return, QStringLiteral("\r"));
  EXPECT_EQ(QApplication::focusWidget(), b);
  EXPECT_TRUE(downs.empty());
  EXPECT_EQ(pressed, std::vector<int>{13});
}

TEST_F(WindowOfEdits, DigitsOnlyAcceptsDigitsAndBackspaceOnly) {
  b->digitsOnly = true;
  b->digitsAlsoAllow = QStringLiteral("/");
  std::vector<QString> refusals;
  QObject::connect(b, &NavigatingEdit::characterRefused, [&](const QString& why) { refusals.push_back(why); });
  b->setFocus();
  for (const char* t : {"1", "a", "-", "/", "5"}) key(b, t[0], QString::fromLatin1(t));
  EXPECT_EQ(b->text(), QStringLiteral("1/5"));
  // Each refused character is explained.
  EXPECT_EQ(refusals, (std::vector<QString>(2, QStringLiteral("半角数字で入力して下さい。"))));
  key(b, Qt::Key_A, QStringLiteral("\x01"), Qt::ControlModifier);  // select all works
  EXPECT_EQ(b->selectedText(), QStringLiteral("1/5"));
  key(b, Qt::Key_1, QStringLiteral("1"));  // replaces the selection
  key(b, Qt::Key_2, QStringLiteral("2"));
  key(b, Qt::Key_Backspace, QStringLiteral("\b"));
  EXPECT_EQ(b->text(), QStringLiteral("1"));
  QApplication::clipboard();
  key(b, Qt::Key_V, QStringLiteral("\x16"), Qt::ControlModifier);  // paste shortcut is discarded
  EXPECT_EQ(b->text(), QStringLiteral("1"));
  EXPECT_EQ(refusals.size(), 2u);  // a shortcut needs no reason
  key(b, Qt::Key_Return, QStringLiteral("\r"));
  EXPECT_EQ(pressed.back(), 13);  // Enter still reaches the handler
  EXPECT_FALSE(downs.empty());  // ordinary keys raise the key-down event
}

TEST(NavigatingEdit, EnterMovesPastACheckBoxWithoutTogglingIt) {
  QWidget form;
  auto* l = new QVBoxLayout(&form);
  auto* first = new NavigatingEdit(&form);
  auto* box = new QCheckBox(QStringLiteral("ログを出力する。"), &form);
  auto* last = new NavigatingEdit(&form);
  for (QWidget* w : {static_cast<QWidget*>(first), static_cast<QWidget*>(box), static_cast<QWidget*>(last)}) l->addWidget(w);
  NavigatingEdit::letEnterMoveOn(box);
  form.show();
  QApplication::setActiveWindow(&form);
  first->setFocus();
  key(first, Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), box);  // the box takes the focus on its way
  key(box, Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), last);
  EXPECT_FALSE(box->isChecked());
  key(box, Qt::Key_Space);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier);
  QApplication::sendEvent(box, &release);
  EXPECT_TRUE(box->isChecked());  // Space still toggles
}

TEST(NavigatingEdit, NoQualifyingControlLeavesTheFocusAlone) {
  QWidget form;
  auto* only = new NavigatingEdit(&form);
  form.show();
  QApplication::setActiveWindow(&form);
  only->setFocus();
  key(only, Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), only);
}

}  // namespace
