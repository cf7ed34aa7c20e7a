#include "sending/BounceRun.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>

#include "core/Clock.h"
#include "core/Database.h"
#include "core/ReaderStore.h"
#include "core/Sjis.h"
#include "core/TextUtil.h"
#include "net/NetErrors.h"
#include "net/Pop3Client.h"
#include "sending/BounceParser.h"
#include "settings/FailureText.h"
#include "settings/SettingsFiles.h"

namespace {

std::string u8(const char* text) { return Sjis::fromUtf8(text); }

// Outcomes are committed, and their mails deleted, this many mails at a time.
constexpr std::size_t kBatch = 100;

struct KnownReader {
  SendStatus status = SendStatus::sendable;
  int nextStory = 1;
  std::string address;
};

// Every reader by id and by address, read once when the first bounce needs them.
class ReaderIndex {
 public:
  void load(Statement& query) {
    if (m_loaded) return;
    ReaderStore(query).forEach([this](Reader& r) {
      m_byId[r.id] = KnownReader{r.status, r.nextStory, trim(r.address)};
      m_byAddress[addressKey(r.address)].push_back(r.id);
    });
    m_loaded = true;
  }
  KnownReader* find(int id) {
    const auto it = m_byId.find(id);
    return it == m_byId.end() ? nullptr : &it->second;
  }
  const std::vector<int>& withAddress(const std::string& address) const {
    static const std::vector<int> none;
    const auto it = m_byAddress.find(addressKey(address));
    return it == m_byAddress.end() ? none : it->second;
  }

 private:
  bool m_loaded = false;
  std::unordered_map<int, KnownReader> m_byId;
  std::unordered_map<std::string, std::vector<int>> m_byAddress;
};

// The readers a bounce is about: those with an address it names; for a bounce that is
// not a delivery report and names no reader's address, the reader of the returned
// mail's Message-ID.
std::vector<BounceOutcome> outcomesOf(const ParsedBounce& bounce, ReaderIndex& readers) {
  std::vector<BounceOutcome> outcomes;
  const auto add = [&](int id, const BouncedAddress& reported, const std::string& address) {
    const KnownReader* reader = readers.find(id);
    if (!reader) return;
    for (const BounceOutcome& o : outcomes)
      if (o.readerId == id) return;
    // The story of the returned mail: named by its Message-ID, else the last one sent.
    const int story = bounce.mail && bounce.mail->readerId == id ? bounce.mail->story : std::max(1, reader->nextStory - 1);
    BounceOutcome o;
    o.readerId = id;
    o.address = address;
    o.story = story;
    o.outcome = reported.permanent ? SendOutcome::refused : SendOutcome::deferred;
    o.code = reported.code;
    o.reason = reported.reason;
    outcomes.push_back(std::move(o));
  };
  for (const BouncedAddress& reported : bounce.addresses)
    if (!reported.address.empty())
      for (int id : readers.withAddress(reported.address)) add(id, reported, reported.address);
  if (outcomes.empty() && !bounce.deliveryStatus && bounce.mail && !bounce.addresses.empty()) {
    if (const KnownReader* reader = readers.find(bounce.mail->readerId))
      add(bounce.mail->readerId, bounce.addresses.front(), reader->address);
  }
  return outcomes;
}

struct Staged {
  int number = 0;
  std::vector<BounceOutcome> outcomes;
};

}  // namespace

BounceRun::BounceRun(Statement& query, const MailSettings& settings, Pop3Client& pop3)
    : m_query(query), m_settings(settings), m_pop3(pop3) {}

BounceReport BounceRun::run(HistoryRun& historyRun) {
  BounceReport report;
  Pop3Client& pop = m_pop3;
  pop.host = trim(m_settings.bouncePopServer);
  pop.port = m_settings.bouncePopPort;
  pop.security = static_cast<Pop3Security>(m_settings.bouncePopSecurity);
  pop.user = trim(m_settings.bouncePopUser);
  pop.password = m_settings.bouncePopPassword;
  pop.setStopFlag(m_stop);
  try {
    pop.connect(-1);
  } catch (const StoppedError&) {
    report.stoppedByOperator = true;
    return report;
  } catch (const std::exception& e) {
    report.error = failureText(e, FailedLink::bouncePop,
                               u8("エラーメールの受信箱を開けませんでした。「FTP、Mail 設定」のエラーメールのページで、"
                                  "POP3ｻｰﾊﾞ名、ﾎﾟｰﾄ番号、暗号化、POP3ﾕｰｻﾞ名とPOP3ﾊﾟｽﾜｰﾄﾞを確かめて下さい。"));
    return report;
  }

  ReaderIndex readers;
  std::vector<Staged> staged;
  // Commits the staged outcomes in one transaction; false (and the error reported) when
  // the database refused them, in which case nothing of them stays.
  const auto commit = [&]() -> bool {
    if (staged.empty()) return true;
    const HistoryRun before = historyRun;
    std::vector<std::pair<int, SendStatus>> changed;  // to undo in the index on failure
    try {
      Transaction transaction(m_query.database());
      HistoryStore history(m_query);
      ReaderStore store(m_query);
      const std::string stamp = Clock::nowStamp();
      const DateStamp now = DateStamp::fromText(stamp.substr(0, 8), stamp.substr(8, 6));
      const auto stop = [&](BounceOutcome& o, KnownReader& reader, const std::string& reason) {
        store.stop(o.readerId);
        changed.emplace_back(o.readerId, reader.status);
        reader.status = SendStatus::stopped;
        o.stopped = true;
        historyRun.add(history, HistoryEntry{o.readerId, o.story, now, SendOutcome::refused, o.code, reason});
      };
      for (Staged& mail : staged)
        for (BounceOutcome& o : mail.outcomes) {
          KnownReader& reader = *readers.find(o.readerId);
          if (reader.status != SendStatus::sendable) {
            o.alreadyStopped = true;
            continue;
          }
          if (o.outcome == SendOutcome::refused) {
            stop(o, reader, u8("エラーメール: ") + o.reason);
            continue;
          }
          historyRun.add(history, HistoryEntry{o.readerId, o.story, now, SendOutcome::deferred, o.code,
                                               u8("エラーメール（遅延）: ") + o.reason});
          const HistoryStore::Deferrals deferrals = history.deferrals(o.readerId, o.story);
          if (HistoryStore::givesUp(deferrals, toIntOr(stamp.substr(0, 8), 0)))
            stop(o, reader, u8("保留が ") + std::to_string(deferrals.runs) + u8(" 回続いたため停止: ") + o.reason);
        }
      transaction.commit();
    } catch (const DbError& e) {
      historyRun = before;
      for (auto it = changed.rbegin(); it != changed.rend(); ++it) readers.find(it->first)->status = it->second;
      m_query.close();
      report.error = u8("エラーメールの結果を書き込めませんでした。") + failureText(e, FailedLink::database);
      staged.clear();
      return false;
    }
    for (Staged& mail : staged)
      for (BounceOutcome& o : mail.outcomes) report.outcomes.push_back(o);
    return true;
  };
  // Deletes the committed mails; the server removes them when it answers the QUIT.
  const auto remove = [&] {
    for (const Staged& mail : staged) {
      pop.remove(mail.number);
      ++report.deleted;
    }
    staged.clear();
  };

  try {
    const std::vector<Pop3Client::Listing> listings = pop.list();
    report.messages = static_cast<int>(listings.size());
    for (const Pop3Client::Listing& listing : listings) {
      if (stopRequested()) throw StoppedError();
      if (listing.size > kMaxMessageBytes) {
        ++report.unknown;
        continue;
      }
      const ParsedBounce bounce = parseBounce(pop.retrieve(listing.number, kMaxMessageBytes + 64 * 1024));
      std::vector<BounceOutcome> outcomes;
      if (bounce.kind == BounceKind::bounce) {
        readers.load(m_query);
        outcomes = outcomesOf(bounce, readers);
      }
      if (outcomes.empty()) {
        ++report.unknown;
        continue;
      }
      staged.push_back(Staged{listing.number, std::move(outcomes)});
      if (staged.size() >= kBatch) {
        if (!commit()) break;
        remove();
      }
    }
    if (commit()) remove();
    pop.quit();
  } catch (const StoppedError&) {
    report.stoppedByOperator = true;
    commit();
    report.deleted = 0;  // no QUIT was answered: the server deleted nothing
    pop.disconnect();
  } catch (const DbError& e) {
    m_query.close();
    report.error = u8("読者を読めませんでした。") + failureText(e, FailedLink::database);
    pop.disconnect();
  } catch (const std::exception& e) {
    // What was read is applied; its mails stay in the mailbox and are read again.
    commit();
    report.deleted = 0;
    report.error = failureText(e, FailedLink::bouncePop, u8("エラーメールの受信箱を最後まで読めませんでした。"));
    pop.disconnect();
  }
  return report;
}

std::string BounceRun::lineText(const BounceOutcome& o) {
  std::string text = idText(o.readerId) + " " + o.address + " ";
  if (o.alreadyStopped)
    text += u8("停止済み");
  else if (o.outcome == SendOutcome::deferred && o.stopped)
    text += outcomeText(SendOutcome::deferred) + u8("（停止）");
  else
    text += outcomeText(o.outcome);
  if (!o.code.empty()) text += " " + o.code;
  if (!o.reason.empty()) text += " " + o.reason;
  return text;
}

std::string BounceReport::summary() const {
  int stopped = 0;
  int deferred = 0;
  for (const BounceOutcome& o : outcomes) {
    if (o.stopped) ++stopped;
    if (o.outcome == SendOutcome::deferred && !o.stopped && !o.alreadyStopped) ++deferred;
  }
  return u8("エラーメール ") + std::to_string(static_cast<int>(outcomes.size())) + u8(" 件: 停止 ") +
         std::to_string(stopped) + u8(" 名、保留 ") + std::to_string(deferred) + u8(" 名、不明なメール ") +
         std::to_string(unknown) + u8(" 通");
}
