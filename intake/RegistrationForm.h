#pragma once
#include <string>

// The two HTML snippets of the registration form for the operator's web site. They
// post "name" and "email" to "regist_kny.cgi", which appends the registration file the
// receive run fetches. Lines are joined by CR LF; the text is CP932.
namespace RegistrationForm {

// Name and mail address, 16 lines and an empty last line.
std::string nameAndAddress();
// Mail address only, 12 lines.
std::string addressOnly();

// The cancel form: the mail address only, posted to the unsubscribe script
// (contrib/web/unsubscribe.php), which appends it to "canceldata.cgi".
std::string cancelForm();
}  // namespace RegistrationForm
