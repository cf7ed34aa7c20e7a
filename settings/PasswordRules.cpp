#include "settings/PasswordRules.h"

#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"

std::string passwordProblem(std::string& password) {
  password = trim(password);
  if (password.empty()) return Sjis::fromUtf8("パスワードを設定して下さい。");
  if (!isHalfWidth(password)) return Sjis::fromUtf8("パスワードに全角文字があります。\r\r半角文字で設定して下さい。");
  return std::string();
}
