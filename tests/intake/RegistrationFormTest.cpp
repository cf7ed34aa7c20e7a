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

const QString kNameAndAddress = QStringLiteral(
    "<FORM method=\"POST\" action=\"regist_kny.cgi\"><INPUT type=\"hidden\" name=\"_charset_\"><BR>\r\n"
    "<TABLE border=\"1\">\r\n"
    "  <TBODY>\r\n"
    "    <TR>\r\n"
    "      <TD align=\"right\">お名前：</TD>\r\n"
    "      <TD><INPUT size=\"20\" type=\"text\" name=\"name\"></TD>\r\n"
    "    </TR>\r\n"
    "    <TR>\r\n"
    "      <TD align=\"right\">メールアドレス：</TD>\r\n"
    "      <TD><INPUT size=\"20\" type=\"text\" name=\"email\"></TD>\r\n"
    "    </TR>\r\n"
    "  </TBODY>\r\n"
    "</TABLE>\r\n"
    "<BR>\r\n"
    "<INPUT type=\"submit\" value=\"登録\"><INPUT type=\"reset\" value=\"リセット\">\r\n"
    "</FORM>\r\n");

const QString kAddressOnly = QStringLiteral(
    "<FORM method=\"POST\" action=\"regist_kny.cgi\"><INPUT type=\"hidden\" name=\"_charset_\"><BR>\r\n"
    "<TABLE border=\"1\">\r\n"
    "  <TBODY>\r\n"
    "    <TR>\r\n"
    "      <TD align=\"right\">メールアドレス：</TD>\r\n"
    "      <TD><INPUT size=\"20\" type=\"text\" name=\"email\"></TD>\r\n"
    "    </TR>\r\n"
    "  </TBODY>\r\n"
    "</TABLE>\r\n"
    "<BR>\r\n"
    "<INPUT type=\"submit\" value=\"登録\"><INPUT type=\"reset\" value=\"リセット\">\r\n"
    "</FORM>");

TEST(RegistrationFormText, CopiesEachSnippetExactlyWithCrLf) {
  TestProgram p(false);
  RegistrationFormWindow form(p.ctx());
  form.prepare();
  form.activate();

  form.copyNameAndAddressButton->click();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), kNameAndAddress);
  form.copyAddressOnlyButton->click();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), kAddressOnly);
  EXPECT_TRUE(form.nameAndAddressView->isReadOnly());
  EXPECT_TRUE(form.addressOnlyView->isReadOnly());
  EXPECT_EQ(form.addressOnlyView->toPlainText() + "\n", QString(kAddressOnly + "\r\n").replace("\r\n", "\n"));

  // The cancel form posts the address alone to the unsubscribe script.
  form.copyCancelFormButton->click();
  const QString cancel = QGuiApplication::clipboard()->text();
  EXPECT_TRUE(cancel.startsWith(QStringLiteral("<FORM method=\"POST\" action=\"unsubscribe.php\"><BR>\r\n"))) << cancel.toStdString();
  EXPECT_TRUE(cancel.contains(QStringLiteral("name=\"email\"")));
  EXPECT_FALSE(cancel.contains(QStringLiteral("name=\"name\"")));
  EXPECT_TRUE(cancel.endsWith(QStringLiteral("<INPUT type=\"submit\" value=\"配信停止\">\r\n</FORM>")));
  EXPECT_TRUE(form.cancelFormView->isReadOnly());
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
