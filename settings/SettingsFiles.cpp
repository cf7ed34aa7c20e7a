#include "settings/SettingsFiles.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "core/AppContext.h"
#include "core/Clock.h"
#include "core/IniFile.h"
#include "core/PrivateFile.h"
#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "settings/Blowfish.h"
#include "settings/CbcMode.h"
#include "settings/UnsubscribeSecret.h"

namespace fs = std::filesystem;

namespace {

const char* const kFtp = "FTP";
const char* const kMail = "Mail";

// The one cipher set-up of both password files.
const std::string kKey = "qowtue7mlrx";
const std::uint8_t kIv[8] = {0x3C, 0xA1, 0x07, 0x5E, 0x92, 0xD4, 0x6B, 0x18};

CbcMode passwordCrypt() { return CbcMode(kKey, true, Padding::Count, 8, kIv, new Blowfish); }

const std::uint8_t* bytesOf(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

std::runtime_error fileError(const char* what, const fs::path& path, int err) {
  return std::runtime_error(std::string(what) + " " + Sjis::fromPath(path) + ": " + std::strerror(err));
}

// A port as written: only ASCII digits (blanks around them allowed), 1 to 65535; absent
// gives the default. Anything else gives 0, which the start check refuses, rather than
// a number read from part of the text or cut to 16 bits.
int portOf(const std::string& written, int absent) {
  const std::string t = trim(written);
  if (t.empty()) return absent;
  if (t.size() > 5 || t.find_first_not_of("0123456789") != std::string::npos) return 0;
  const int port = std::stoi(t);
  return port <= 65535 ? port : 0;
}

void deleteIfExists(const fs::path& path) {
  std::error_code ec;
  fs::remove(path, ec);  // a failed delete is ignored
}

// The save's handling of one password: switch, then the file written or deleted.
void writePassword(IniFile& ini, const char* section, const char* key, int flag, const std::string& password,
                   const fs::path& file) {
  const bool save = flag == 1;
  ini.writeInteger(section, key, save ? 1 : 0);
  if (save) writePasswordFile(file, password);
  // With the box ticked and a blank password the file is written and deleted again.
  if (!save || trim(password).empty()) deleteIfExists(file);
}

// "http://localhost" or "http://127.0.0.1", an optional port, then a path: a script
// served on this machine, where no certificate is at hand.
bool isLocalHttp(const std::string& url) {
  const std::string scheme = "http://";
  if (url.compare(0, scheme.size(), scheme) != 0) return false;
  const std::size_t hostEnd = url.find_first_of(":/?#", scheme.size());
  const std::string host = url.substr(scheme.size(), hostEnd - scheme.size());
  if (host != "localhost" && host != "127.0.0.1") return false;
  if (hostEnd == std::string::npos || url[hostEnd] != ':') return true;
  const std::size_t portEnd = url.find_first_of("/?#", hostEnd + 1);
  const std::string port = url.substr(hostEnd + 1, portEnd - hostEnd - 1);
  return !port.empty() && portOf(port, 0) != 0;
}

std::string savedPassword(int flag, const fs::path& file) { return flag == 1 ? readPasswordFile(file) : std::string(); }

}  // namespace

SettingsPaths SettingsPaths::of(const AppContext& ctx) {
  return {ctx.file("QuorMail.env"), ctx.file("QuorMail1.env"), ctx.file("QuorMail2.env"), ctx.file("QuorMail3.env"),
          ctx.file("QuorMail4.env")};
}

std::filesystem::path SettingsPaths::footerTemplate() const { return env.parent_path() / LegalFooter::kFile; }

std::filesystem::path SettingsPaths::unsubscribeSecret() const { return env.parent_path() / UnsubscribeSecret::kFile; }

FtpSettings loadFtpSettings(const SettingsPaths& paths) {
  const IniFile ini(paths.env);
  FtpSettings s;
  s.host = ini.readString(kFtp, "FTP_HOST_ADR", "");
  s.user = ini.readString(kFtp, "FTP_USER", "");
  s.passwordMode = ini.readInteger(kFtp, "FTP_PAS", 0);
  s.password = savedPassword(s.passwordMode, paths.ftpPassword);
  s.localFolder = ini.readString(kFtp, "FTP_LOCAL_PATH", "");
  s.hostFolder = ini.readString(kFtp, "FTP_HOST_PATH", "");
  s.passiveMode = ini.readInteger(kFtp, "FTP_PASV", 1);
  s.tlsMode = ini.readInteger(kFtp, "FTP_TLS", 0);
  return s;
}

MailSettings loadMailSettings(const SettingsPaths& paths) {
  std::error_code ec;
  const bool newInstallation = !fs::exists(paths.env, ec);
  const IniFile ini(paths.env);
  MailSettings s;
  s.popBeforeSmtpMode = ini.readInteger(kMail, "POP_before_SMTP", newInstallation ? 0 : 1);
  s.popServer = ini.readString(kMail, "Pop_Saver", "");
  s.popUser = ini.readString(kMail, "Pop_UsrName", "");
  s.popPasswordMode = ini.readInteger(kMail, "PasSave", 0);
  s.password = savedPassword(s.popPasswordMode, paths.popPassword);
  s.logMode = ini.readInteger(kMail, "LogWrt", 1);
  s.popWaitSeconds = ini.readString(kMail, "Pop_After_Snd_Second", "10");
  s.waitSeconds = ini.readString(kMail, "Mail1_Wait_Second", "30");
  s.smtpServer = ini.readString(kMail, "Smtp", "");
  s.senderAddress = ini.readString(kMail, "MailAdress", "");
  s.lineWidth = ini.readString(kMail, "Max_Moji", "80");
  s.defaultReaderName = trimFullWidth(ini.readString(kMail, "Nothing_UserName", ""));
  s.smtpPort = portOf(ini.readString(kMail, "SMTPPORT", ""), 25);
  s.smtpSecurity = ini.readInteger(kMail, "SmtpSecurity", 0);
  s.smtpAuthMode = ini.readInteger(kMail, "SmtpAuth", 0);
  s.smtpPlainLoginMode = ini.readInteger(kMail, "SmtpPlainLogin", 0);
  s.smtpUser = ini.readString(kMail, "SmtpUser", "");
  s.smtpPasswordMode = ini.readInteger(kMail, "SmtpPasSave", 0);
  s.smtpPassword = savedPassword(s.smtpPasswordMode, paths.smtpPassword);
  s.senderName = ini.readString(kMail, "SenderName", "");
  s.onePerDayMode = ini.readInteger(kMail, "OnePerDay", newInstallation ? 1 : 0);
  s.unsubscribeUrl = ini.readString(kMail, "UnsubscribeUrl", "");
  s.substituteCharactersMode = ini.readInteger(kMail, "SubstituteCharacters", 1);
  s.hourLimit = trim(ini.readString(kMail, "HourLimit", "0"));
  s.dayLimit = trim(ini.readString(kMail, "DayLimit", "0"));
  s.sendDays = trim(ini.readString(kMail, "SendDays", "1111111"));
  s.skipHolidaysMode = ini.readInteger(kMail, "SkipHolidays", 0);
  s.sendHours = trim(ini.readString(kMail, "SendHours", ""));
  s.bounceAddress = trim(ini.readString(kMail, "BounceAddress", ""));
  s.popSecurity = ini.readInteger(kMail, "PopSecurity", 0);
  s.mailsPerConnection = ini.readInteger(kMail, "MailsPerConnection", 1);
  s.legalFooterMode = ini.readInteger(kMail, "LegalFooter", newInstallation ? 1 : 0);
  s.senderPostalAddress = ini.readString(kMail, "SenderPostalAddress", "");
  s.senderContact = ini.readString(kMail, "SenderContact", "");
  s.footerTemplate = LegalFooter::load(paths.footerTemplate());
  s.bouncePopMode = ini.readInteger(kMail, "BouncePop", 0);
  s.bouncePopServer = trim(ini.readString(kMail, "BouncePopServer", ""));
  s.bouncePopSecurity = ini.readInteger(kMail, "BouncePopSecurity", 0);
  s.bouncePopPort = portOf(ini.readString(kMail, "BouncePopPort", ""), s.bouncePopSecurity == 2 ? 995 : 110);
  s.bouncePopUser = trim(ini.readString(kMail, "BouncePopUser", ""));
  s.bouncePopPassword = readPasswordFile(paths.bouncePassword);
  return s;
}

std::string loadTimeZone(const SettingsPaths& paths) {
  const IniFile ini(paths.env);
  return ini.readString(kMail, "TimeZone", Clock::kDefaultTimeZone);
}

std::string applyTimeZone(const SettingsPaths& paths) {
  const std::string zone = loadTimeZone(paths);
  if (Clock::setTimeZone(zone)) return std::string();
  return Sjis::fromUtf8("タイムゾーン ") + zone + Sjis::fromUtf8(" が見つかりません。") + Clock::kDefaultTimeZone +
         Sjis::fromUtf8(" の日時を使います。");
}

AllSettings readSettings(const SettingsPaths& paths) { return {loadFtpSettings(paths), loadMailSettings(paths)}; }

void writeSettings(const SettingsPaths& paths, AllSettings& s) {
  IniFile ini(paths.env);
  FtpSettings& f = s.ftp;
  ini.writeString(kFtp, "FTP_HOST_ADR", f.host);
  ini.writeString(kFtp, "FTP_USER", f.user);
  writePassword(ini, kFtp, "FTP_PAS", f.passwordMode, f.password, paths.ftpPassword);
  ini.writeString(kFtp, "FTP_HOST_PATH", f.hostFolder);
  ini.writeString(kFtp, "FTP_LOCAL_PATH", f.localFolder);
  ini.writeInteger(kFtp, "FTP_PASV", f.passive() ? 1 : 0);
  ini.writeInteger(kFtp, "FTP_TLS", f.useTls() ? 1 : 0);

  MailSettings& m = s.mail;
  ini.writeString(kMail, "Smtp", m.smtpServer);
  ini.writeString(kMail, "MailAdress", m.senderAddress);
  m.waitSeconds = trim(m.waitSeconds);
  ini.writeString(kMail, "Mail1_Wait_Second", m.waitSeconds);
  writePassword(ini, kMail, "PasSave", m.popPasswordMode, m.password, paths.popPassword);
  ini.writeInteger(kMail, "POP_before_SMTP", m.popBeforeSmtp() ? 1 : 0);
  m.popServer = trim(m.popServer);
  ini.writeString(kMail, "Pop_Saver", m.popServer);
  m.popUser = trim(m.popUser);
  ini.writeString(kMail, "Pop_UsrName", m.popUser);
  m.popWaitSeconds = trim(m.popWaitSeconds);
  ini.writeString(kMail, "Pop_After_Snd_Second", m.popWaitSeconds);
  ini.writeInteger(kMail, "LogWrt", m.writeLog() ? 1 : 0);
  ini.writeString(kMail, "Max_Moji", m.lineWidth);
  m.defaultReaderName = trimFullWidth(trim(m.defaultReaderName));
  ini.writeString(kMail, "Nothing_UserName", m.defaultReaderName);
  ini.writeInteger(kMail, "SMTPPORT", m.smtpPort);
  ini.writeInteger(kMail, "SmtpSecurity", m.smtpSecurity);
  ini.writeInteger(kMail, "SmtpAuth", m.smtpLogin() ? 1 : 0);
  ini.writeInteger(kMail, "SmtpPlainLogin", m.smtpPlainLogin() ? 1 : 0);
  m.smtpUser = trim(m.smtpUser);
  ini.writeString(kMail, "SmtpUser", m.smtpUser);
  writePassword(ini, kMail, "SmtpPasSave", m.smtpPasswordMode, m.smtpPassword, paths.smtpPassword);
  m.senderName = trim(m.senderName);
  ini.writeString(kMail, "SenderName", m.senderName);
  ini.writeInteger(kMail, "OnePerDay", m.onePerDay() ? 1 : 0);
  m.unsubscribeUrl = trim(m.unsubscribeUrl);
  ini.writeString(kMail, "UnsubscribeUrl", m.unsubscribeUrl);
  // The operator uploads the secret beside the script before the first mail links to it.
  if (m.hasUnsubscribeUrl()) UnsubscribeSecret::loadOrCreate(paths.unsubscribeSecret());
  ini.writeString(kMail, "HourLimit", m.hourLimit);
  ini.writeString(kMail, "DayLimit", m.dayLimit);
  ini.writeString(kMail, "SendDays", m.sendDays);
  ini.writeInteger(kMail, "SkipHolidays", m.skipHolidaysMode == 1 ? 1 : 0);
  ini.writeString(kMail, "SendHours", m.sendHours);
  ini.writeInteger(kMail, "MailsPerConnection", m.mailsPerConnection);
  ini.writeInteger(kMail, "PopSecurity", m.popSecurity);
  m.bounceAddress = trim(m.bounceAddress);
  ini.writeString(kMail, "BounceAddress", m.bounceAddress);
  ini.writeInteger(kMail, "LegalFooter", m.legalFooter() ? 1 : 0);
  m.senderPostalAddress = trim(m.senderPostalAddress);
  ini.writeString(kMail, "SenderPostalAddress", m.senderPostalAddress);
  m.senderContact = trim(m.senderContact);
  ini.writeString(kMail, "SenderContact", m.senderContact);
  LegalFooter::save(paths.footerTemplate(), m.footerTemplate);
  ini.writeInteger(kMail, "BouncePop", m.readBounces() ? 1 : 0);
  m.bouncePopServer = trim(m.bouncePopServer);
  ini.writeString(kMail, "BouncePopServer", m.bouncePopServer);
  ini.writeInteger(kMail, "BouncePopPort", m.bouncePopPort);
  ini.writeInteger(kMail, "BouncePopSecurity", m.bouncePopSecurity);
  m.bouncePopUser = trim(m.bouncePopUser);
  ini.writeString(kMail, "BouncePopUser", m.bouncePopUser);
  // The mailbox's password is always saved: the bounces are read by runs nobody watches.
  if (trim(m.bouncePopPassword).empty())
    deleteIfExists(paths.bouncePassword);
  else
    writePasswordFile(paths.bouncePassword, m.bouncePopPassword);
}

bool MailSettings::hasUnsubscribeUrl() const { return checkUnsubscribeUrl(unsubscribeUrl) == UnsubscribeUrlProblem::None; }

UnsubscribeUrlProblem checkUnsubscribeUrl(const std::string& url) {
  if (url.empty()) return UnsubscribeUrlProblem::Empty;
  const std::string scheme = "https://";
  const bool https = url.size() > scheme.size() && url.compare(0, scheme.size(), scheme) == 0;
  if (!https && !isLocalHttp(url)) return UnsubscribeUrlProblem::NotHttps;
  for (const char ch : url) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x80) return UnsubscribeUrlProblem::NotAscii;
    // Angle brackets and quotes would end the address inside the mail header.
    if (c <= 0x20 || c == 0x7F || c == '<' || c == '>' || c == '"') return UnsubscribeUrlProblem::BlankOrControl;
  }
  return UnsubscribeUrlProblem::None;
}

std::string encipherPassword(const std::string& text) {
  try {
    CbcMode crypt = passwordCrypt();
    std::vector<std::uint8_t> out(static_cast<size_t>(crypt.outputSize(static_cast<int>(text.size()))));
    const int n = crypt.encrypt(bytesOf(text), out.data(), static_cast<int>(text.size()));
    const std::string cipherText(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(n));
    return decipherPassword(cipherText) == text ? cipherText : std::string();
  } catch (...) {
    return std::string();
  }
}

std::string decipherPassword(const std::string& bytes) {
  try {
    CbcMode crypt = passwordCrypt();
    std::vector<std::uint8_t> out(bytes.size());
    const int n = crypt.decrypt(bytesOf(bytes), out.data(), static_cast<int>(bytes.size()));
    if (n <= 0) return std::string();
    return std::string(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(n));
  } catch (...) {
    return std::string();
  }
}

std::string readPasswordFile(const fs::path& path) {
  // An enciphered password is a few dozen bytes; a file of more than this, or one that
  // is not a plain file (a link to /dev/zero, a pipe), is not read at all.
  constexpr std::size_t kMaxBytes = 4096;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) return std::string();
  const auto refuse = [&] {
    return std::runtime_error(Sjis::fromUtf8("パスワードファイルが正しくありません (通常のファイルでないか、大きすぎます): ") +
                              Sjis::fromPath(path));
  };
  if (!fs::is_regular_file(status) || fs::file_size(path, ec) > kMaxBytes) throw refuse();
  std::ifstream in(path, std::ios::binary);
  if (!in) throw fileError("Cannot open file", path, errno);
  std::string bytes(kMaxBytes + 1, '\0');
  in.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) throw fileError("Cannot read file", path, errno);
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (bytes.size() > kMaxBytes) throw refuse();  // grew since it was looked at
  return decipherPassword(bytes);
}

void writePasswordFile(const fs::path& path, const std::string& text) {
  const std::string cipherText = encipherPassword(text);
  if (cipherText.empty()) {
    deleteIfExists(path);
    return;
  }
  PrivateFile::write(path, cipherText);
}
