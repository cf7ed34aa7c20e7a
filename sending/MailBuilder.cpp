#include "sending/MailBuilder.h"

#include <algorithm>
#include <map>

#include "core/JisCoverage.h"
#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/StoryStore.h"
#include "core/TextUtil.h"
#include "net/MailMessage.h"
#include "sending/BounceParser.h"
#include "sending/DueList.h"
#include "sending/MailComposer.h"
#include "sending/SendOptions.h"
#include "sending/UnsubscribeLink.h"
#include "settings/SettingsFiles.h"
#include "settings/UnsubscribeSecret.h"
#include "text/JapaneseText.h"

namespace {

std::string u8(const char* text) { return Sjis::fromUtf8(text); }

const std::string kNamePlaceholder = "##readername##";

// The character check reports at most this many characters.
constexpr std::size_t kReportedCharacters = 30;

}  // namespace

MailBuilder::MailBuilder(Statement& query, const MailSettings& settings, const SendOptions& options)
    : m_query(query), m_settings(settings), m_options(options) {}

MailBuilder::StoryText MailBuilder::readStory(int story) {
  StoryText text;
  if (std::optional<Story> stored = StoryStore(m_query).find(story)) {
    // Subject: its first 200 characters without trailing blanks; body: the first 16382.
    text.found = true;
    text.subject = trimRight(stored->subject);
    text.body = std::move(stored->body);
  }
  return text;
}

ComposedMail MailBuilder::compose(const DueReader& reader, bool test) {
  ComposedMail mail;
  mail.test = test;
  mail.story = reader.reader.nextStory;
  mail.readerId = idText(reader.reader.id);
  mail.registered = reader.reader.registered.dateText() + reader.reader.registered.timeText();
  mail.recipient = trim(reader.reader.address);
  mail.senderAddress = trim(m_settings.senderAddress);
  StoryText story = readStory(mail.story);
  if (!story.found) return mail;
  mail.found = true;
  std::string name = reader.reader.name;
  std::string defaultName = m_settings.defaultReaderName;
  // A reader's own name that the mail cannot carry keeps only that reader's mail back.
  if (story.body.find(kNamePlaceholder) != std::string::npos) {
    const std::vector<JisCoverage::Finding> findings = JisCoverage::find(trim(name));
    const bool replaceable = std::all_of(findings.begin(), findings.end(),
                                         [](const JisCoverage::Finding& f) { return !f.substitute.empty(); });
    if (!findings.empty() && (!m_replaceUncarriable || !replaceable)) {
      std::string where = JisCoverage::describe(findings);
      for (std::size_t at; (at = where.find("\r\n")) != std::string::npos;) where.replace(at, 2, " ");
      mail.skipReason = u8("読者名にISO-2022-JPで送れない文字があります: ") + trim(where);
    }
  }
  std::string senderName = trim(m_settings.senderName);
  std::string footerTemplate = m_settings.footerTemplate;
  FooterItems footer{senderName, trim(m_settings.senderPostalAddress), trim(m_settings.senderContact), {}};
  if (m_replaceUncarriable) {
    for (std::string* text : {&story.subject, &story.body, &name, &defaultName, &senderName, &footerTemplate,
                              &footer.senderName, &footer.postalAddress, &footer.contact})
      *text = JisCoverage::replaceWithSubstitutes(*text);
  }
  // Name and subject go into the message as Shift-JIS: it encodes them and keeps the
  // blanks between Japanese words, which separate encoded words would lose.
  mail.subject = JapaneseText::cutAtInvalidChar(story.subject);
  mail.senderName = JapaneseText::cutAtInvalidChar(senderName);
  const int width = toIntOr(trim(m_settings.lineWidth), 80);
  mail.body = composeBody(name, defaultName, story.body, width);
  if (m_settings.legalFooter()) {
    // The reader's own link, as List-Unsubscribe gives it: the web page when there is one.
    footer.unsubscribeLink = unsubscribeUrl(mail);
    if (footer.unsubscribeLink.empty())
      footer.unsubscribeLink = mail.test ? UnsubscribeLink::testMailto(mail.senderAddress)
                                         : UnsubscribeLink::mailto(mail.senderAddress, mail.readerId);
    mail.body += "\r\n" + composeFooter(footerTemplate, footer, width);
  }
  return mail;
}

std::string MailBuilder::previewText(const DueReader& reader) {
  const ComposedMail mail = compose(reader);
  if (!mail.found) return u8("ストーリー番号 ") + std::to_string(mail.story) + u8(" のメールがありません。");
  const std::string from = mail.senderName.empty() ? mail.senderAddress
                                                   : mail.senderName + " <" + mail.senderAddress + ">";
  // Through ISO-2022-JP and back, as the reader's program decodes it.
  const auto asReceived = [](const std::string& text) {
    return JapaneseText::jisToSjis(JapaneseText::sjisToJis(text));
  };
  return u8("差出人: ") + asReceived(from) + "\r\n" + u8("宛先: ") + mail.recipient + "\r\n" + u8("件名: ") +
         trimRight(asReceived(mail.subject)) + "\r\n\r\n" + asReceived(mail.body);
}

const std::string& MailBuilder::unsubscribeSecret() {
  if (m_secret.empty()) m_secret = UnsubscribeSecret::loadOrCreate(m_options.secretFile);
  return m_secret;
}

std::string MailBuilder::unsubscribeUrl(const ComposedMail& mail) {
  if (m_options.unsubscribeUrl.empty()) return std::string();
  return mail.test ? UnsubscribeLink::testUrl(m_options.unsubscribeUrl, unsubscribeSecret(), mail.readerId)
                   : UnsubscribeLink::url(m_options.unsubscribeUrl, unsubscribeSecret(), mail.readerId,
                                          mail.registered);
}

std::unique_ptr<MailMessage> MailBuilder::buildMessage(const ComposedMail& mail) {
  auto message = std::make_unique<MailMessage>();
  message->from.setText(JapaneseText::encodeHeader(mail.senderAddress));
  if (!mail.senderName.empty()) message->from.name = mail.senderName;
  message->envelopeSender = trim(m_settings.bounceAddress);
  message->recipients.setText(mail.recipient);
  message->subject = mail.subject;
  message->setBodyText(JapaneseText::sjisToJis(mail.body));
  // A bounce of a story mail names the reader and the story; a test mail's names nobody.
  if (!mail.test) message->messageIdTag = storyMessageTag(toIntOr(mail.readerId, 0), mail.story);
  const std::string link = unsubscribeUrl(mail);
  message->extraHeaders.setValue("List-Unsubscribe",
                                 mail.test ? UnsubscribeLink::testListUnsubscribe(mail.senderAddress, link)
                                           : UnsubscribeLink::listUnsubscribe(mail.senderAddress, mail.readerId, link));
  message->extraHeaders.setValue("List-Unsubscribe-Post", UnsubscribeLink::listUnsubscribePost(link));
  return message;
}

CharacterCheck MailBuilder::checkCharacters(const DueList& list, const std::vector<std::size_t>& indexes) {
  const std::vector<DueReader>& readers = list.readers();
  CharacterCheck check;
  std::size_t reported = 0;
  const auto add = [&](const std::string& where, const std::string& text, bool shared = true) {
    if (text.empty()) return;
    const std::vector<JisCoverage::Finding> findings = JisCoverage::find(text);
    for (const JisCoverage::Finding& f : findings) {
      ++check.found;
      if (shared) ++check.foundShared;
      if (shared && f.substitute.empty()) check.allReplaceable = false;
      if (reported++ < kReportedCharacters) check.report += where + " " + JisCoverage::describe({f});
    }
  };
  add(u8("差出人名"), trim(m_settings.senderName));
  if (m_settings.legalFooter()) {
    add(u8("法定表示のひな形"), m_settings.footerTemplate);
    add(u8("法定表示の住所"), trim(m_settings.senderPostalAddress));
    add(u8("法定表示の連絡先"), trim(m_settings.senderContact));
  }
  // The stories in number order, each once; then the names put into their bodies.
  std::map<int, bool> namedStories;  // story -> its body takes the reader's name
  for (std::size_t index : indexes)
    if (index < readers.size()) namedStories.emplace(readers[index].reader.nextStory, false);
  for (auto& [story, named] : namedStories) {
    const StoryText text = readStory(story);
    const std::string where = u8("ストーリー") + std::to_string(story);
    add(where + u8(" 件名"), text.subject);
    add(where + u8(" 本文"), text.body);
    named = text.body.find(kNamePlaceholder) != std::string::npos;
  }
  bool defaultNameUsed = false;
  for (std::size_t index : indexes) {
    if (index >= readers.size()) continue;
    const Reader& r = readers[index].reader;
    if (!namedStories[r.nextStory]) continue;
    const std::string name = trim(r.name);
    if (name.empty())
      defaultNameUsed = true;
    else
      add(u8("読者") + idText(r.id) + u8(" 名前"), name, false);
  }
  if (defaultNameUsed) add(u8("読者名未設定時の名前"), m_settings.defaultReaderName);
  if (reported > kReportedCharacters)
    check.report += u8("ほか ") + std::to_string(reported - kReportedCharacters) + u8(" 文字\r\n");
  return check;
}
