#pragma once
#include <filesystem>
#include <string>

// The unsubscribe links every mail carries (RFC 2369 List-Unsubscribe, RFC 8058 one
// click): a mailto: address with the reader's number in its subject and, when the
// operator has put the unsubscribe script on the web site, its https URL with the
// number, the reader's registration moment and a check code. The code is the
// HMAC-SHA256 of "number-moment" under a secret that only the program and the script
// know, so nobody can unsubscribe another reader by changing the number, and a number
// that passes to a new reader after a deletion does not carry the old reader's links
// over: the receive run stops a reader only when the moment is that reader's. A test mail carries links of their own that stop nobody: the
// URL is marked "test=1" and its code is made from the marked number, so that a link
// with the marker removed no longer passes the check; the mailto: subject names no
// reader.
namespace UnsubscribeLink {

// The secret is settings/UnsubscribeSecret's.
// The first 32 hex digits of HMAC-SHA256(secret, text).
std::string checkCode(const std::string& secret, const std::string& text);
// What a reader's link names and its code is made from: "<number>-<yyyymmddhhnnss>",
// the registration moment; the unsubscribe script writes it into canceldata.cgi.
std::string readerText(const std::string& readerId, const std::string& registered);
// base + "?id=<number>&since=<moment>&code=<code>" ("&" when base already has a query).
std::string url(const std::string& base, const std::string& secret, const std::string& readerId,
                const std::string& registered);
// base + "?id=<number>&test=1&code=<test code>": the script answers it with a page
// saying it belongs to a test mail, and records nothing.
std::string testUrl(const std::string& base, const std::string& secret, const std::string& readerId);
// Whether the setting holds an https address the links can point to.
bool usableUrl(const std::string& base);
// The mailto: address of a reader's unsubscribe request: the sender's address with
// "unsubscribe <number>" as the subject; the test mail's names no reader.
std::string mailto(const std::string& senderAddress, const std::string& readerId);
std::string testMailto(const std::string& senderAddress);
// The header values: List-Unsubscribe, and List-Unsubscribe-Post (empty without a URL).
std::string listUnsubscribe(const std::string& senderAddress, const std::string& readerId,
                            const std::string& linkUrl);
// List-Unsubscribe of a test mail: a mailto: subject that names no reader, and the test URL.
std::string testListUnsubscribe(const std::string& senderAddress, const std::string& testLinkUrl);
std::string listUnsubscribePost(const std::string& linkUrl);

}  // namespace UnsubscribeLink
