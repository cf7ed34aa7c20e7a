#include <gtest/gtest.h>

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

#include "controls/NavigatingEdit.h"
#include "settings/PasswordPrompt.h"
#include "settings/SettingsDialogs.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestProgram.h"

namespace {

// Acts on the prompt each time it is shown, once the modal loop runs.
class PromptScript : public QObject {
 public:
  explicit PromptScript(PasswordPrompt* form) : m_form(form) { form->installEventFilter(this); }

  void then(std::function<void(PasswordPrompt*)> step) { m_steps.push_back(std::move(step)); }
  // Types the text and confirms with Enter.
  void type(const QString& text) {
    then([text](PasswordPrompt* f) {
      f->passwordEdit->setText(text);
      QTest::keyClick(f->passwordEdit, Qt::Key_Return);
    });
  }
  std::vector<QString> prompts;   // the prompt on each showing
  std::vector<QString> startText;  // the field on each showing

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched == m_form && e->type() == QEvent::Show && !m_steps.empty()) {
      prompts.push_back(m_form->promptLabel->text());
      startText.push_back(m_form->passwordEdit->text());
      auto step = std::move(m_steps.front());
      m_steps.pop_front();
      QTimer::singleShot(0, m_form, [this, step] { step(m_form); });
    }
    return false;
  }

 private:
  PasswordPrompt* m_form;
  std::deque<std::function<void(PasswordPrompt*)>> m_steps;
};

class PasswordPromptTest : public ::testing::Test {
 protected:
  void SetUp() override { program.ctx().setWindow(WindowId::Password, form); }

  TestProgram program{false};
  std::unique_ptr<PasswordPrompt> prompt = std::make_unique<PasswordPrompt>();
  PasswordPrompt* form = prompt.get();
  ScriptedDialogs dialogs;
};

}  // namespace

TEST(SavedOrTypedPassword, TrimsAndRefusesBlankOrDoubleByte) {
  ScriptedDialogs dialogs;
  std::string p = "  secret\t";
  EXPECT_TRUE(askSavedOrTypedPassword(p));
  EXPECT_EQ(p, "secret");
  p = "   ";
  EXPECT_FALSE(askSavedOrTypedPassword(p));
  EXPECT_EQ(p, "");
  p = sj("ｶﾅok");  // half-width katakana are single bytes
  EXPECT_TRUE(askSavedOrTypedPassword(p));
  p = sj("pass　word");
  EXPECT_FALSE(askSavedOrTypedPassword(p));
  ASSERT_EQ(dialogs.shown().size(), 2u);
  EXPECT_EQ(dialogs.shown()[0].text, QStringLiteral("パスワードを設定して下さい。"));
  EXPECT_EQ(dialogs.shown()[1].text, QStringLiteral("パスワードに全角文字があります。\r\r半角文字で設定して下さい。"));
  EXPECT_EQ(dialogs.shown()[1].title, QStringLiteral("クオル"));
  EXPECT_EQ(dialogs.shown()[1].buttons, MsgButtons::Ok);
}

TEST_F(PasswordPromptTest, AsksAgainUntilThePasswordPasses) {
  EXPECT_EQ(form->windowTitle(), QStringLiteral("クオル"));
  PromptScript script(form);
  script.type(QStringLiteral("   "));
  script.type(QStringLiteral("ｐａｓｓ"));
  script.then([](PasswordPrompt* f) {  // OK confirms as Enter does
    f->passwordEdit->setText(QStringLiteral("  pop-pass  "));
    f->okButton->click();
  });
  const auto password = askPassword(program.ctx(), PasswordFor::Pop3);
  ASSERT_TRUE(password.has_value());
  EXPECT_EQ(*password, "pop-pass");
  EXPECT_EQ(dialogs.texts(), (std::vector<QString>{QStringLiteral("パスワードを設定して下さい。"),
                                                   QStringLiteral("パスワードに全角文字があります。\r\r半角文字で設定して下さい。")}));
  EXPECT_EQ(script.prompts, std::vector<QString>(3, QStringLiteral("POP3のパスワードを入力して下さい。")));
  EXPECT_EQ(script.startText, std::vector<QString>(3, QString()));  // emptied before each asking
  EXPECT_TRUE(form->passwordEdit->text().isEmpty());
}

TEST_F(PasswordPromptTest, CancelOrCloseBoxEndsWithoutAMessage) {
  PromptScript script(form);
  script.then([](PasswordPrompt* f) {
    f->passwordEdit->setText(QStringLiteral("typed"));
    f->cancelButton->click();
  });
  script.then([](PasswordPrompt* f) { f->close(); });
  EXPECT_FALSE(askPassword(program.ctx(), PasswordFor::Ftp).has_value());
  EXPECT_EQ(form->result(), PasswordPrompt::kCancelled);
  EXPECT_FALSE(askPassword(program.ctx(), PasswordFor::Ftp).has_value());
  EXPECT_EQ(form->result(), PasswordPrompt::kClosed);
  EXPECT_TRUE(dialogs.shown().empty());
  EXPECT_EQ(script.prompts.front(), QStringLiteral("FTPのパスワードを入力して下さい。"));
}
