#pragma once
#include <filesystem>
#include <string>

// The text every advertising mail must show at the end of its body: who sends it, how the
// reader refuses further mail (a statement right before the reader's own unsubscribe
// link), the sender's postal address and a contact for questions. The operator keeps the
// wording in a template file beside the settings; placeholders take the values.
namespace LegalFooter {

// The template file in the data folder (CP932).
constexpr const char* kFile = "QuorMailFooter.txt";

constexpr const char* kSenderName = "##sendername##";
constexpr const char* kPostalAddress = "##postaladdress##";
constexpr const char* kContact = "##contact##";
// The reader's own unsubscribe link, the same as the List-Unsubscribe header gives.
constexpr const char* kUnsubscribe = "##unsubscribe##";

// The built-in template (CP932, lines ending in CR LF): every required item in the
// required order.
const std::string& defaultTemplate();
// The template in the file; the built-in one when the file is absent or not a plain file.
std::string load(const std::filesystem::path& file);
// Writes the template when it differs from the built-in one or the file already exists,
// so an untouched installation keeps following the built-in text. Throws
// std::runtime_error with the operator's text when the file cannot be written.
void save(const std::filesystem::path& file, const std::string& text);

}  // namespace LegalFooter
