#include "intake/RegistrationForm.h"

#include <vector>

#include "core/Sjis.h"

namespace {

const std::vector<std::string>& fullForm() {
  static const std::vector<std::string> lines = {
      // The browser fills "_charset_" with the encoding it posts in: the script reads
      // the name by it whatever the encoding of the page the form is pasted into.
      R"(<FORM method="POST" action="regist_kny.cgi"><INPUT type="hidden" name="_charset_"><BR>)",
      R"(<TABLE border="1">)",
      R"(  <TBODY>)",
      R"(    <TR>)",
      R"(      <TD align="right">お名前：</TD>)",
      R"(      <TD><INPUT size="20" type="text" name="name"></TD>)",
      R"(    </TR>)",
      R"(    <TR>)",
      R"(      <TD align="right">メールアドレス：</TD>)",
      R"(      <TD><INPUT size="20" type="text" name="email"></TD>)",
      R"(    </TR>)",
      R"(  </TBODY>)",
      R"(</TABLE>)",
      R"(<BR>)",
      R"(<INPUT type="submit" value="登録"><INPUT type="reset" value="リセット">)",
      R"(</FORM>)",
  };
  return lines;
}

// Lines first..last (1-based, inclusive) of the full form.
std::vector<std::string> linesOf(size_t first, size_t last) {
  return std::vector<std::string>(fullForm().begin() + static_cast<long>(first - 1),
                                  fullForm().begin() + static_cast<long>(last));
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) out += "\r\n";
    out += lines[i];
  }
  return Sjis::fromUtf8(out);
}

}  // namespace

namespace RegistrationForm {

std::string nameAndAddress() {
  std::vector<std::string> lines = fullForm();
  lines.emplace_back();
  return joined(lines);
}

std::string addressOnly() {
  std::vector<std::string> lines = linesOf(1, 4);
  const std::vector<std::string> rest = linesOf(9, 16);
  lines.insert(lines.end(), rest.begin(), rest.end());
  return joined(lines);
}

std::string cancelForm() {
  // The address rows of the full form, with the unsubscribe script as the target.
  std::vector<std::string> lines = {R"(<FORM method="POST" action="unsubscribe.php"><BR>)"};
  const std::vector<std::string> table = linesOf(2, 4);
  const std::vector<std::string> address = linesOf(9, 14);
  lines.insert(lines.end(), table.begin(), table.end());
  lines.insert(lines.end(), address.begin(), address.end());
  lines.emplace_back(R"(<INPUT type="submit" value="配信停止">)");
  lines.emplace_back(R"(</FORM>)");
  return joined(lines);
}

}  // namespace RegistrationForm
