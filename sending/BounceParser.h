#pragma once
#include <optional>
#include <string>
#include <vector>

// What a mail found in the bounce mailbox says about the mails this program sent.
// Pure text work: no database, no network.

// How the mail reads: a bounce (a delivery status notification or another report of a
// failed delivery), an automatic reply (vacation, out of office: never a bounce), or
// anything else.
enum class BounceKind { other, autoReply, bounce };

// One address a bounce reports on.
struct BouncedAddress {
  std::string address;  // as the report gives it, without "rfc822;" or angle brackets
  bool permanent = false;  // 5.x.x and failed; else delayed or 4.x.x
  // "550 5.1.1" (reply code and status), "5.1.1", or "" when the report gives neither.
  std::string code;
  // What the report says went wrong, on one line (CP932), at most a few hundred bytes.
  std::string reason;
};

// A mail this program sent, named by the Message-ID it carried (see storyMessageTag).
struct TaggedMail {
  int readerId = 0;
  int story = 0;
};

struct ParsedBounce {
  BounceKind kind = BounceKind::other;
  bool deliveryStatus = false;  // an RFC 3464 report (multipart/report, delivery-status)
  // A report: each failed or delayed recipient it names. Another bounce: the addresses
  // the returned mail was sent to (its To:) or that the report names in angle brackets,
  // each permanent. Empty for other mails and automatic replies.
  std::vector<BouncedAddress> addresses;
  // The returned mail's Message-ID, when this program generated it.
  std::optional<TaggedMail> mail;
};

// Reads one whole mail (its header and body as received, lines ending in CR LF or LF).
ParsedBounce parseBounce(const std::string& raw);

// The part of a Message-ID's left side that names the reader and the story:
// "qm.00012.3." followed by the unique part; found again by parseBounce.
std::string storyMessageTag(int readerId, int story);
