#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class DueList;
class MailMessage;
class Statement;
struct DueReader;
struct MailSettings;
struct SendOptions;

// Characters ISO-2022-JP mail cannot carry, found in the mails a run would send.
struct CharacterCheck {
  // One line per character: where it is (story and subject or body, or reader and
  // name), its line and column, and its usual substitute (CP932).
  std::string report;
  int found = 0;
  // Found in what every reader's mail shares: the sender's name, a story's subject or
  // body, the name used for readers without one, the legal footer's template and items.
  int foundShared = 0;
  // Every character found in the shared texts has a usual substitute.
  bool allReplaceable = true;

  bool clean() const { return found == 0; }
  // Only readers' own names hold such characters: the other readers' mails are clean.
  bool onlyInNames() const { return found > 0 && foundShared == 0; }
};

// One reader's next story mail as the run sends it; every text CP932.
struct ComposedMail {
  bool found = false;  // false: the story mail is missing
  int story = 0;
  std::string readerId;  // five digits
  std::string registered;  // the reader's registration moment, yyyymmddhhnnss
  std::string recipient;
  std::string senderAddress;
  std::string senderName;  // empty: the address alone
  std::string subject;
  // The body after name insertion and line breaks, then (when switched on) a blank line
  // and the legal footer; lines ending in CR LF.
  std::string body;
  // Why this reader is not to be sent the mail: its name holds a character ISO-2022-JP
  // cannot carry, and substitutes are not in use or there is none (CP932).
  std::string skipReason;
  // A test mail: its unsubscribe links stop nobody.
  bool test = false;
};

// Makes a reader's next story mail from the story in the database and the mail
// settings: the composed texts, the message with its headers (the unsubscribe links
// among them), the preview as a mail reader shows it, and the check for characters
// the mail cannot carry. The preview, the test mail and the run all build through here.
class MailBuilder {
 public:
  // Settings and options are read at each call: the run owns them.
  MailBuilder(Statement& query, const MailSettings& settings, const SendOptions& options);

  // A test mail carries the test unsubscribe links, in the footer as in the headers.
  ComposedMail compose(const DueReader& reader, bool test = false);
  // The mail as a mail reader shows it: sender, recipient and subject lines, a blank
  // line, the body as it arrives (CP932, lines ending in CR LF).
  std::string previewText(const DueReader& reader);
  std::unique_ptr<MailMessage> buildMessage(const ComposedMail& mail);

  // The characters the listed readers' mails at the indexes could not carry: in each
  // story's subject and body, and in each name put into a body. Reads the stories.
  CharacterCheck checkCharacters(const DueList& list, const std::vector<std::size_t>& indexes);
  // Replaces such characters by their usual substitutes in the mails composed from
  // now on (never in the database).
  void setReplaceUncarriable(bool replace) { m_replaceUncarriable = replace; }

 private:
  struct StoryText {
    bool found = false;
    std::string subject;
    std::string body;
  };
  StoryText readStory(int story);
  const std::string& unsubscribeSecret();
  // The https unsubscribe link of the mail; empty when no unsubscribe URL is set.
  std::string unsubscribeUrl(const ComposedMail& mail);

  Statement& m_query;
  const MailSettings& m_settings;
  const SendOptions& m_options;
  std::string m_secret;
  bool m_replaceUncarriable = false;
};
