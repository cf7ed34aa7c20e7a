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
  return std::string();
}

namespace {

// Lower-cases the ASCII letters in place, leaving the second byte of a double-byte
// character alone.
void lowerAscii(std::string& key) {
  for (size_t i = 0; i < key.size(); ++i) {
    const auto c = static_cast<unsigned char>(key[i]);
    if (isLeadByte(c) && i + 1 < key.size())
      ++i;
    else if (c >= 'A' && c <= 'Z')
      key[i] = static_cast<char>(c - 'A' + 'a');
  }
}

}  // namespace

std::string addressKey(const std::string& address) {
  std::string key = trim(address);
  lowerAscii(key);
  return key;
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

InsertOutcome insertReader(ReaderStore& store, Transaction& transaction, const char* savepoint, Reader& reader) {
  for (int attempt = 0;; ++attempt) {
    try {
      // The next line's savepoint of the same name replaces this one.
      transaction.savepoint(savepoint);
      store.insert(reader);
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
