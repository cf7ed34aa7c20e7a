#include "app/CommandLine.h"

#include "core/TextUtil.h"

namespace {

// A reader number: 1 to 99999, digits only.
std::optional<int> readerNumber(const std::string& text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const int n = std::stoi(text);
  return n > 0 ? std::optional<int>(n) : std::nullopt;
}

// A date written yyyymmdd that exists.
std::optional<int> dateNumber(const std::string& text) {
  if (text.size() != 8 || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  const int n = std::stoi(text);
  return isValidDate(n / 10000, n / 100 % 100, n % 100) ? std::optional<int>(n) : std::nullopt;
}

}  // namespace

CommandLine CommandLine::parse(const std::vector<std::string>& args) {
  CommandLine c;
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      c.action = Action::Help;
      return c;
    }
    if (a == "--version" || a == "-V") {
      c.action = Action::Version;
      return c;
    }
  }
  std::size_t i = 0;
  if (i < args.size()) {
    const std::string& command = args[i++];
    if (command == "receive")
      c.action = Action::Receive;
    else if (command == "send")
      c.action = Action::Send;
    else if (command == "receive-and-send")
      c.action = Action::ReceiveAndSend;
    else if (command == "history")
      c.action = Action::History;
    else if (command == "bounces")
      c.action = Action::Bounces;
    else {
      c.action = Action::UsageError;
      c.error = "不明なコマンドです: " + command;
      return c;
    }
  }
  for (; i < args.size(); ++i) {
    if (args[i] == "--dry-run" && c.action == Action::Send) {
      c.dryRun = true;
    } else if ((args[i] == "--reader" || args[i] == "--since") && c.action == Action::History) {
      const bool reader = args[i] == "--reader";
      const std::string value = i + 1 < args.size() ? args[++i] : std::string();
      std::optional<int>& target = reader ? c.reader : c.since;
      target = reader ? readerNumber(value) : dateNumber(value);
      if (!target) {
        c.action = Action::UsageError;
        c.error = std::string(reader ? "読者番号が正しくありません: " : "日付は YYYYMMDD で指定して下さい: ") + value;
        return c;
      }
    } else {
      c.action = Action::UsageError;
      c.error = "不明なオプションです: " + args[i];
      return c;
    }
  }
  return c;
}

void CommandLine::printHelp(std::ostream& out) {
  out << "使い方: quormail [コマンド]\n"
         "\n"
         "コマンドなしで起動すると、メニュー画面を開きます。\n"
         "\n"
         "  receive              読者情報を受信します (FTP)\n"
         "  send                 送信対象の読者にストーリーメールを送信します\n"
         "  send --dry-run       送信せずに、読者ごとのストーリー番号と件名を表示します\n"
         "  receive-and-send     読者情報を受信後、メールを送信します\n"
         "  history [--reader N] [--since YYYYMMDD]\n"
         "                       送信履歴を CSV で表示します (読者番号 N の分、YYYYMMDD 以降の分)\n"
         "                       列: reader,story,time,outcome,code,reply\n"
         "  bounces              エラーメールの受信箱を読み、宛先不明の読者を停止します\n"
         "  --help               この説明を表示します\n"
         "  --version            バージョンを表示します\n"
         "\n"
         "終了コード: 0 正常終了 (送信対象なしを含む), 1 処理の失敗, 2 設定又は使い方の誤り,\n"
         "3 データベースを使用できません, 4 別の送信が実行中です,\n"
         "5 中断しました (SIGTERM, SIGINT 又は SIGHUP による)\n"
         "データフォルダ: プログラムと同じフォルダに QUORMAIL.GDB 又は QuorMail.env があればそこ、\n"
         "無ければ $QUORMAIL_HOME、無ければ $XDG_DATA_HOME/QuorMail (~/.local/share/QuorMail)\n";
}

void CommandLine::printVersion(std::ostream& out) { out << "QuorMail " << QUORMAIL_VERSION << "\n"; }
