#include "intake/ImportRules.h"

#include <algorithm>
#include <cstdio>

#include "core/Database.h"
#include "core/ReaderStore.h"
#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"

namespace ImportRules {

Reader newReader(int number, const std::string& mail, const DateStamp& registered, const std::string& name) {
  Reader r;
  r.id = number;
  r.address = mail;
  r.registered = registered;
  r.name = name;
  r.status = SendStatus::sendable;
  r.nextStory = 1;
  return r;
}

std::string countText(int count) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%5d", count);
  return buf;
}

bool holdsChar(const std::string& text, char c) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (isLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size())
      ++i;
    else if (text[i] == c)
      return true;
  }
  return false;
}

int lastReaderNo(ReaderStore& store) { return store.maxId(); }

namespace {

// The mailbox form the registration script accepts: dots may stand anywhere in the
// local part, as some Japanese mobile carriers' addresses have them.
bool isMailbox(const std::string& address) {
  static const std::string atomSpecials = "!#$%&'*+/=?^_`{|}~-.";
  const size_t at = address.find('@');
  if (at == 0 || at == std::string::npos || address.find('@', at + 1) != std::string::npos) return false;
  auto isAlnum = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
  for (size_t i = 0; i < at; ++i)
    if (!isAlnum(address[i]) && atomSpecials.find(address[i]) == std::string::npos) return false;
  int labels = 0;
  size_t labelSize = 0;
  for (size_t i = at + 1; i <= address.size(); ++i) {
    if (i == address.size() || address[i] == '.') {
      if (labelSize == 0) return false;
      ++labels;
      labelSize = 0;
    } else if (isAlnum(address[i]) || address[i] == '-') {
      ++labelSize;
    } else {
      return false;
    }
  }
  return labels >= 2;
}

}  // namespace

std::string addressFault(const std::string& address) {
  for (size_t i = 0; i < address.size(); ++i) {
    const auto c = static_cast<unsigned char>(address[i]);
    if (c == 0) return Sjis::fromUtf8("メールアドレスにNULが有ります。");
    if (c < 0x20 || c == 0x7F) return Sjis::fromUtf8("メールアドレスに制御文字が有ります。");
    if (c == ' ') return Sjis::fromUtf8("メールアドレスに空白が有ります。");
    if (c == '<' || c == '>') return Sjis::fromUtf8("メールアドレスに\"<\"又は\">\"が有ります。");
    if (isLeadByte(c) && i + 1 < address.size()) {
      if (c == 0x81 && address[i + 1] == 0x40) return Sjis::fromUtf8("メールアドレスに空白が有ります。");
      ++i;
    }
  }
  if (!isMailbox(address)) return Sjis::fromUtf8("メールアドレスの形式に誤りがあります。");
  return std::string();
}

std::unordered_set<std::string> knownAddresses(ReaderStore& store) {
  std::unordered_set<std::string> keys;
  keys.reserve(ImportRules::kLastReaderNo + 1);
  store.forEachAddress([&](std::string& key) {
    // Trimmed in place (the column is blank-padded to its width): no copy per reader.
    size_t end = key.size();
    while (end > 0 && static_cast<unsigned char>(key[end - 1]) <= ' ') --end;
    key.resize(end);
    size_t begin = 0;
    while (begin < key.size() && static_cast<unsigned char>(key[begin]) <= ' ') ++begin;
    key.erase(0, begin);
    lowerAscii(key);
    if (!key.empty()) keys.insert(std::move(key));
  });
  return keys;
}

bool isDigits(const std::string& text, size_t length) {
  if (text.size() != length) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

InsertOutcome insertReader(Statement& query, Transaction& transaction, const char* savepoint, Reader& reader,
                           const Consent& consent) {
  ReaderStore store(query);
  for (int attempt = 0;; ++attempt) {
    try {
      // The next line's savepoint of the same name replaces this one.
      transaction.savepoint(savepoint);
      store.insert(reader);
      Consent record = consent;
      record.readerId = reader.id;
      record.address = reader.address;
      ConsentStore(query).add(record);
      return InsertOutcome::inserted;
    } catch (const DbError& e) {
      transaction.rollbackToSavepoint(savepoint);
      if (!isKeyConflict(e.what()) || attempt >= kNumberRetries) throw;
      // Another import stored this number first: go on after the largest one now.
      const int last = std::max(reader.id, store.maxId());
      if (last >= kLastReaderNo) return InsertOutcome::outOfNumbers;
      reader.id = last + 1;
    }
  }
}

bool isKeyConflict(const std::string& error) {
  return error.find("PRIMARY or UNIQUE KEY") != std::string::npos || error.find("deadlock") != std::string::npos ||
         error.find("update conflicts") != std::string::npos;
}

}  // namespace ImportRules
