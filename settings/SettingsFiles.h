#pragma once
#include <filesystem>
#include <string>

#include "settings/LegalFooter.h"

class AppContext;

// The three settings files beside the program.
struct SettingsPaths {
  std::filesystem::path env;          // QuorMail.env, the INI text
  std::filesystem::path ftpPassword;  // QuorMail1.env
  std::filesystem::path popPassword;  // QuorMail2.env
  std::filesystem::path smtpPassword;  // QuorMail3.env
  std::filesystem::path bouncePassword;  // QuorMail4.env, the bounce mailbox's

  static SettingsPaths of(const AppContext& ctx);
  // QuorMailFooter.txt beside QuorMail.env, the legal footer's template.
  std::filesystem::path footerTemplate() const;
  // QuorMailSecret.env beside QuorMail.env, the unsubscribe links' secret.
  std::filesystem::path unsubscribeSecret() const;
};

// The "FTP" section as read (values trimmed), with the saved FTP password.
struct FtpSettings {
  std::string host;
  std::string user;
  int passwordMode = 0;       // 1 saved in QuorMail1.env, 0 asked at each run, else neither
  std::string password;  // from QuorMail1.env when passwordMode is 1, else empty
  std::string hostFolder;
  std::string localFolder;
  int passiveMode = 1;
  int tlsMode = 0;  // 1 explicit TLS on the control and data connections

  bool passwordSaved() const { return passwordMode == 1; }
  bool passwordAsked() const { return passwordMode == 0; }
  bool passive() const { return passiveMode == 1; }
  bool useTls() const { return tlsMode == 1; }
};

// The "Mail" section as read (values trimmed), with the saved POP3 and SMTP passwords.
struct MailSettings {
  std::string smtpServer;
  std::string senderAddress;
  std::string waitSeconds = "30";
  int popPasswordMode = 0;       // 1 saved in QuorMail2.env, 0 asked at each run, else neither
  std::string password;  // from QuorMail2.env when popPasswordMode is 1, else empty
  // 1: log in to the POP3 server before each SMTP session. The load gives 0 when the
  // settings file does not exist yet and 1 when an older file lacks the key.
  int popBeforeSmtpMode = 0;
  std::string popServer;
  std::string popUser;
  std::string popWaitSeconds = "10";
  int logMode = 1;
  std::string lineWidth = "80";
  std::string defaultReaderName;  // also trimFullWidth-med
  int smtpPort = 25;
  int smtpSecurity = 0;      // 0 none, 1 STARTTLS, 2 TLS from the first byte
  int smtpAuthMode = 0;          // 1 SMTP AUTH with smtpUser
  // 1: the operator agreed to log in over a connection without encryption (the
  // password then goes in clear); 0, the default, never sends it so.
  int smtpPlainLoginMode = 0;
  std::string smtpUser;
  int smtpPasswordMode = 0;       // 1 saved in QuorMail3.env, 0 asked at each run
  std::string smtpPassword;  // from QuorMail3.env when smtpPasswordMode is 1, else empty
  std::string senderName;    // the sender's display name; empty: the address alone
  // 1: at most one story mail per reader and day. The load gives 1 when the settings file
  // does not exist yet (a new installation) and 0 when an older file lacks the key.
  int onePerDayMode = 0;
  // The https address of the operator's unsubscribe script (http for a trial on this
  // machine); empty: mailto only.
  std::string unsubscribeUrl;
  // For runs nobody watches (the chain and the commands): 1 puts the usual substitutes
  // for characters a reader's name holds that the mail cannot carry, 0 passes such a
  // reader over.
  int substituteCharactersMode = 1;
  // The provider's pace, as written (checked by the start check): mails per hour and
  // per day ("0": no limit), the days of the week mail may go out (seven 0/1 digits,
  // Monday first), 1 for no mail on Japanese public holidays, and the daily window
  // "HHMM-HHMM" (empty: all day).
  std::string hourLimit = "0";
  std::string dayLimit = "0";
  std::string sendDays = "1111111";
  int skipHolidaysMode = 0;
  std::string sendHours;
  // The envelope sender (MAIL FROM, the Return-Path), where bounces go; empty: the
  // sender address.
  std::string bounceAddress;
  // TLS for POP before SMTP: 0 none, 1 STLS, 2 TLS from the first byte (port 995).
  int popSecurity = 0;
  // The bounce mailbox, read at the start of every send run when bouncePopMode is 1:
  // its POP3 server, port (absent: 110, or 995 for TLS from the first byte; 0 when
  // written wrong), security (as popSecurity), user and the password saved in
  // QuorMail4.env.
  int bouncePopMode = 0;
  std::string bouncePopServer;
  int bouncePopPort = 110;
  int bouncePopSecurity = 0;
  std::string bouncePopUser;
  std::string bouncePopPassword;
  // Mails sent over one SMTP session; 1 (also when the key is absent) opens a session
  // for each mail.
  int mailsPerConnection = 1;
  // 1: every mail's body ends with the legal footer. The load gives 1 when the settings
  // file does not exist yet and 0 when an older file lacks the key, so existing
  // installations keep their bodies until the operator switches it on.
  int legalFooterMode = 0;
  // The footer's items beside the sender's name: the postal address, and a telephone
  // number, e-mail address or URL for questions.
  std::string senderPostalAddress;
  std::string senderContact;
  // The footer's template (CP932), from its own file beside the settings file.
  std::string footerTemplate = LegalFooter::defaultTemplate();

  bool passwordSaved() const { return popPasswordMode == 1; }
  bool passwordAsked() const { return popPasswordMode == 0; }
  bool popBeforeSmtp() const { return popBeforeSmtpMode != 0; }
  bool writeLog() const { return logMode == 1; }
  bool smtpLogin() const { return smtpAuthMode == 1; }
  bool smtpPlainLogin() const { return smtpPlainLoginMode == 1; }
  bool smtpPasswordSaved() const { return smtpPasswordMode == 1; }
  bool onePerDay() const { return onePerDayMode == 1; }
  bool substituteCharacters() const { return substituteCharactersMode != 0; }
  bool readBounces() const { return bouncePopMode == 1; }
  bool legalFooter() const { return legalFooterMode == 1; }
  // True when unsubscribeUrl passes checkUnsubscribeUrl: mails then carry that address.
  bool hasUnsubscribeUrl() const;
};

// What is wrong with an unsubscribe address; Empty is allowed and means "none".
enum class UnsubscribeUrlProblem { None, Empty, NotHttps, BlankOrControl, NotAscii };
// An address is usable when it starts with "https://", names something after it and holds
// printable ASCII only (it goes into a mail header as it is). "http://" is allowed only
// for localhost and 127.0.0.1 (with or without a port): a trial on this machine.
UnsubscribeUrlProblem checkUnsubscribeUrl(const std::string& url);

// Both sections, as the settings window loads and saves them.
struct AllSettings {
  FtpSettings ftp;
  MailSettings mail;
};

// Each load opens, reads and closes the files; missing files and keys give the defaults.
// A password file that cannot be read (other than missing) throws std::runtime_error.
FtpSettings loadFtpSettings(const SettingsPaths& paths);
MailSettings loadMailSettings(const SettingsPaths& paths);
AllSettings readSettings(const SettingsPaths& paths);
// The operator's time zone, key TimeZone of the Mail section (an IANA name; absent:
// "Asia/Tokyo"). The web scripts' TIME_ZONE must name the same zone.
std::string loadTimeZone(const SettingsPaths& paths);
// Puts the process in that zone; the message to show when the machine does not know it
// (CP932), else empty.
std::string applyTimeZone(const SettingsPaths& paths);

// Saves both sections key by key in their fixed order and the footer's template (see
// LegalFooter::save), and writes or deletes the password files (a switch of 1 saves the
// password; a blank password or another switch deletes the file). Texts that the save
// trims are trimmed in `s` too, so the caller can show what was written. Stops at the
// first failure with IniFileError or std::runtime_error; what was written before stays
// written. A usable unsubscribe address also makes the links' secret when it is missing.
void writeSettings(const SettingsPaths& paths, AllSettings& s);

// The password saved in the file; empty when there is none or it cannot be deciphered.
std::string readPasswordFile(const std::filesystem::path& path);
// Writes the enciphered password, readable by the owner only; deletes the file when
// the password cannot be enciphered.
void writePasswordFile(const std::filesystem::path& path, const std::string& text);
// The password's ciphertext, or empty when enciphering fails.
std::string encipherPassword(const std::string& text);
// The password of a ciphertext, or empty when it is not whole blocks or has no text.
std::string decipherPassword(const std::string& bytes);
