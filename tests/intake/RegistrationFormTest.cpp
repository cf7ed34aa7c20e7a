#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "intake/RegistrationFormWindow.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestProgram.h"

namespace {

// Each button copies the form its box shows, every line ended by CR LF, posting to the
// script on the operator's site the fields it reads: name and address, the address
// alone, or the address to the unsubscribe script; a registration form also says the
// encoding it is posted in.
TEST(RegistrationFormText, EachButtonCopiesTheFormItsBoxShowsWithCrLf) {
  TestProgram p(false);
  RegistrationFormWindow form(p.ctx());
  form.prepare();
  form.activate();
  struct Case {
    QPushButton* button;
    QPlainTextEdit* view;
    const char* action;
    bool asksName;
  };
  for (const Case& c : {Case{form.copyNameAndAddressButton, form.nameAndAddressView, "regist_kny.cgi", true},
                        Case{form.copyAddressOnlyButton, form.addressOnlyView, "regist_kny.cgi", false},
                        Case{form.copyCancelFormButton, form.cancelFormView, "unsubscribe.php", false}}) {
    SCOPED_TRACE(c.action);
    QGuiApplication::clipboard()->clear();
    c.button->click();
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(c.view->isReadOnly());
    EXPECT_EQ(QString(copied).replace("\r\n", "\n").trimmed(), c.view->toPlainText().trimmed());
    EXPECT_GT(copied.count("\r\n"), 5);
    EXPECT_EQ(copied.count("\n"), copied.count("\r\n")) << copied.toStdString();
    EXPECT_TRUE(copied.startsWith(QStringLiteral("<FORM method=\"POST\" action=\"%1\">").arg(c.action)))
        << copied.toStdString();
    EXPECT_TRUE(copied.trimmed().endsWith(QStringLiteral("</FORM>")));
    EXPECT_EQ(copied.count(QStringLiteral("type=\"submit\"")), 1);
    EXPECT_EQ(copied.count(QStringLiteral("name=\"email\"")), 1);
    EXPECT_EQ(copied.count(QStringLiteral("name=\"name\"")), c.asksName ? 1 : 0);
    // The registration script converts by the encoding the browser says it posted in.
    EXPECT_EQ(copied.count(QStringLiteral("<INPUT type=\"hidden\" name=\"_charset_\">")),
              QString::fromLatin1(c.action) == QStringLiteral("regist_kny.cgi") ? 1 : 0);
  }
}

// 768 pixels of a 1366x768 screen, and 720 logical pixels of 1920x1080 at 150 %, less the
// task bar and the title bar.
TEST(RegistrationFormText, FitsASmallScreenAndNamesTheClipboard) {
  TestProgram p(false);
  RegistrationFormWindow form(p.ctx());
  form.prepare();
  form.show();
  EXPECT_LE(std::max(form.height(), form.minimumSizeHint().height()), 640);
  EXPECT_TRUE(form.copyCancelFormButton->text().endsWith(QStringLiteral("をクリップボードにコピー")));
}

TEST(RegistrationFormText, CopyIsConfirmedOnScreenAndEscapeCloses) {
  TestProgram p(false);
  ScriptedDialogs boxes;
  RegistrationFormWindow form(p.ctx());
  form.prepare();
  form.show();
  form.activate();
  EXPECT_TRUE(form.copyStatusLabel->text().isEmpty());
  form.copyAddressOnlyButton->click();
  EXPECT_EQ(form.copyStatusLabel->text(), QStringLiteral("コピーしました"));
  EXPECT_TRUE(boxes.shown().empty());  // no box to close

  QTest::keyClick(form.addressOnlyView, Qt::Key_Escape);
  EXPECT_FALSE(form.isVisible());
  // The next opening starts without the old confirmation.
  form.prepare();
  form.show();
  form.activate();
  EXPECT_TRUE(form.copyStatusLabel->text().isEmpty());
}

}  // namespace
