#include "settings/FailureText.h"

#include <cerrno>
#include <system_error>

#include "core/Database.h"
#include "core/Sjis.h"
#include "net/NetErrors.h"

namespace {

// Where the operator looks for a link's settings, and what its fields are called there.
struct LinkWords {
  const char* server;    // "SMTPサーバ"
  const char* page;      // "「FTP、Mail 設定」のメールのページ"
  const char* host;      // the host name field
  const char* address;   // the host name and port fields
  const char* port;      // the port and security fields
  const char* login;     // the user name and password fields
  const char* secure;    // the command that turns the connection secure
};

const LinkWords& wordsOf(FailedLink link) {
  static const LinkWords smtp{"SMTPサーバ", "「FTP、Mail 設定」のメールのページ", "SMTPｻｰﾊﾞ名",
                              "SMTPｻｰﾊﾞ名とﾎﾟｰﾄ番号", "ﾎﾟｰﾄ番号と暗号化", "ユーザ名とパスワード", "STARTTLS"};
  static const LinkWords pop{"POP3サーバ（POP before SMTP）", "「FTP、Mail 設定」のメールのページ", "POP3ｻｰﾊﾞ名",
                             "POP3ｻｰﾊﾞ名", "暗号化", "POP3ﾕｰｻﾞ名とPOP3ﾊﾟｽﾜｰﾄﾞ", "STLS"};
  static const LinkWords bounce{"エラーメールのPOP3サーバ", "「FTP、Mail 設定」のエラーメールのページ", "POP3ｻｰﾊﾞ名",
                                "POP3ｻｰﾊﾞ名とﾎﾟｰﾄ番号", "ﾎﾟｰﾄ番号と暗号化", "POP3ﾕｰｻﾞ名とPOP3ﾊﾟｽﾜｰﾄﾞ", "STLS"};
  static const LinkWords ftp{"FTPサーバ", "「FTP、Mail 設定」のFTPのページ", "ホスト名（アドレス）",
                             "ホスト名（アドレス）", "「TLSで暗号化する」の設定", "ユーザ名とパスワード", "AUTH TLS"};
  static const LinkWords database{"データベース", "", "", "", "", "", ""};
  switch (link) {
    case FailedLink::smtp: return smtp;
    case FailedLink::popBeforeSmtp: return pop;
    case FailedLink::bouncePop: return bounce;
    case FailedLink::ftp: return ftp;
    case FailedLink::database: break;
  }
  return database;
}

bool isLogin(const std::string& command, FailedLink link) {
  if (link == FailedLink::smtp) return command == "AUTH";
  return command == "USER" || command == "PASS";
}

FailureKind replyKind(const ProtocolReplyError& reply, FailedLink link) {
  const std::string& command = reply.command();
  // FTP answers a wrong user or password with 530; another refusal of USER (a server
  // that wants TLS first) is not the password's fault.
  if (isLogin(command, link) && (link != FailedLink::ftp || reply.replyCode() == 530)) return FailureKind::loginRefused;
  if (link == FailedLink::ftp) {
    if (command == "AUTH") return FailureKind::secureConnectionMissing;
    if ((command == "CWD" || command == "RETR" || command == "SIZE") && reply.replyCode() == 550)
      return FailureKind::folderMissing;
  }
  if (link == FailedLink::smtp && command == "MAIL FROM" && reply.replyCode() >= 500) return FailureKind::senderRefused;
  if (command == "STARTTLS" || command == "STLS") return FailureKind::secureConnectionMissing;
  return FailureKind::serverRefused;
}

}  // namespace

FailureKind failureKind(const std::exception& failure, FailedLink link) {
  if (dynamic_cast<const DbLockConflict*>(&failure)) return FailureKind::databaseLocked;
  if (dynamic_cast<const DbError*>(&failure)) return FailureKind::databaseUnavailable;
  if (const auto* reply = dynamic_cast<const ProtocolReplyError*>(&failure)) return replyKind(*reply, link);
  if (const auto* socket = dynamic_cast<const SocketError*>(&failure)) {
    switch (socket->errorCode()) {
      case 10061:  // refused
      case 10051:  // network unreachable
      case 10065:  // no route to host
        return FailureKind::connectRefused;
      case 11001: return FailureKind::hostNotFound;
      case 10060: return FailureKind::connectTimeout;
      default: return FailureKind::connectionLost;
    }
  }
  if (dynamic_cast<const ConnectTimeoutError*>(&failure)) return FailureKind::connectTimeout;
  if (dynamic_cast<const ReadTimeoutError*>(&failure)) return FailureKind::replyTimeout;
  if (dynamic_cast<const ConnectionClosedError*>(&failure) || dynamic_cast<const NotConnectedError*>(&failure))
    return FailureKind::connectionLost;
  if (const auto* certificate = dynamic_cast<const CertificateError*>(&failure)) {
    switch (certificate->problem()) {
      case CertificateError::Problem::untrusted: return FailureKind::certificateUntrusted;
      case CertificateError::Problem::expired: return FailureKind::certificateExpired;
      case CertificateError::Problem::otherHost: return FailureKind::certificateOtherHost;
      case CertificateError::Problem::other: return FailureKind::secureConnectionFailed;
    }
  }
  if (dynamic_cast<const TlsError*>(&failure)) return FailureKind::secureConnectionFailed;
  if (const auto* missing = dynamic_cast<const MissingServerFeatureError*>(&failure)) {
    switch (missing->feature()) {
      case MissingServerFeatureError::Feature::secureConnection: return FailureKind::secureConnectionMissing;
      case MissingServerFeatureError::Feature::loginMechanism: return FailureKind::loginMechanismMissing;
      case MissingServerFeatureError::Feature::plainLogin: return FailureKind::plainLoginRefused;
    }
  }
  if (const auto* file = dynamic_cast<const LocalFileError*>(&failure))
    return file->errorNumber() == ENOSPC ? FailureKind::diskFull : FailureKind::other;
  if (const auto* system = dynamic_cast<const std::system_error*>(&failure))
    return system->code() == std::errc::no_space_on_device ? FailureKind::diskFull : FailureKind::other;
  return FailureKind::other;
}

std::string failureAdvice(FailureKind kind, FailedLink link) {
  const LinkWords& w = wordsOf(link);
  const std::string server = w.server;
  const std::string check = std::string(w.page) + "で、";
  std::string text;
  switch (kind) {
    case FailureKind::connectRefused:
      text = server + "に接続できませんでした（接続を拒否されました）。" + check + w.address + "を確かめて下さい。";
      break;
    case FailureKind::hostNotFound:
      text = server + "が見つかりませんでした。" + check + w.host + "を確かめて下さい。インターネットに繋がっているかも確かめて下さい。";
      break;
    case FailureKind::connectTimeout:
      text = server + "に接続できませんでした（時間切れ）。" + check + w.address + "を確かめて下さい。ファイアウォールが通信を止めていないかも確かめて下さい。";
      break;
    case FailureKind::replyTimeout:
      text = server + "から時間内に応答がありませんでした。時間をおいてやり直して下さい。続く時は、" + check + w.port +
             "を確かめて下さい。";
      break;
    case FailureKind::connectionLost:
      text = server + "との接続が途中で切れました。時間をおいてやり直して下さい。";
      break;
    case FailureKind::certificateUntrusted:
      text = server + "の証明書を信頼できませんでした（発行元を確かめられません）。" + check + w.host +
             "がプロバイダの案内するサーバ名か確かめて下さい。";
      break;
    case FailureKind::certificateExpired:
      text = server + "の証明書が有効期限の外です。パソコンの日付を確かめて下さい。日付が正しい時は、サーバの管理者に連絡して下さい。";
      break;
    case FailureKind::certificateOtherHost:
      text = server + "の証明書は別のサーバ名のものです。" + check + w.host + "を、証明書のサーバ名（プロバイダの案内する名前）にして下さい。";
      break;
    case FailureKind::secureConnectionFailed:
      text = server + "と暗号化した接続ができませんでした。" + check + w.port + "を確かめて下さい。";
      break;
    case FailureKind::secureConnectionMissing:
      text = server + "は暗号化（" + w.secure + "）に対応していません。" + check + w.port + "を確かめて下さい。";
      break;
    case FailureKind::loginMechanismMissing:
      text = server + "が、このプログラムのログイン方式（PLAIN、LOGIN）に対応していません。" + check + w.port +
             "とログインの設定を確かめて下さい。";
      break;
    case FailureKind::plainLoginRefused:
      text = "暗号化しない接続ではパスワードを送りません。" + check + w.port + "を確かめて下さい。";
      break;
    case FailureKind::loginRefused:
      text = server + "にログインできませんでした。" + check + w.login + "を確かめて下さい。";
      break;
    case FailureKind::senderRefused:
      text = server + "が差出人アドレスを受け付けませんでした。" + check + "ﾒｰﾙｱﾄﾞﾚｽ(差出人)を確かめて下さい。";
      break;
    case FailureKind::folderMissing:
      text = server + "に、ホストのフォルダ、又は、その中の読者情報ファイルがありませんでした。" + check +
             "ホストのフォルダを確かめて下さい。";
      break;
    case FailureKind::diskFull:
      text = link == FailedLink::ftp
                 ? "ディスクが一杯で、ファイルを書き込めませんでした。" + check + "ローカルフォルダのディスクに空きを作ってから、やり直して下さい。"
                 : std::string("ディスクが一杯で、書き込めませんでした。ディスクに空きを作ってから、やり直して下さい。");
      break;
    case FailureKind::databaseLocked:
      text = "データベースの同じデータを他の処理が使っています。他の送信、受信や読者メンテナンスが終わってから、やり直して下さい。";
      break;
    case FailureKind::databaseUnavailable:
      text = "データベースを読み書きできませんでした。データフォルダの QUORMAIL.GDB があるか、ディスクに空きがあるか確かめて下さい。";
      break;
    case FailureKind::serverRefused:
      text = server + "が要求を受け付けませんでした。" + check + w.host + "、" + w.port + "、" + w.login + "を確かめて下さい。";
      break;
    case FailureKind::other:
      return std::string();
  }
  return Sjis::fromUtf8(text);
}

std::string failureReason(const std::string& raw) {
  std::string out;
  bool pendingSpace = false;
  for (char c : raw) {
    if (c == '\r' || c == '\n') {
      pendingSpace = !out.empty();
      continue;
    }
    if (pendingSpace && c != ' ') out += ' ';
    pendingSpace = false;
    out += c;
  }
  return out;
}

std::string failureText(const std::exception& failure, FailedLink link, const std::string& fallback) {
  std::string first = failureAdvice(failureKind(failure, link), link);
  if (first.empty()) first = fallback;
  const std::string reason = failureReason(failure.what());
  if (first.empty()) return reason;
  return reason.empty() ? first : first + "\n" + reason;
}
