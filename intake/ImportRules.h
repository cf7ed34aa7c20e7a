#pragma once
#include <string>
#include <unordered_set>
#include <vector>

#include "core/ConsentStore.h"
#include "core/Reader.h"

class ReaderStore;
class Statement;
class Transaction;

// What both reader imports share.
namespace ImportRules {

// Reader numbers end here; no import ever issues a larger one.
constexpr int kLastReaderNo = 99999;

// A new reader as the imports write it: sendable, due for the first story mail, nothing
// sent yet, no remarks (the store cuts address and name to their widths).
Reader newReader(int number, const std::string& mail, const DateStamp& registered, const std::string& name);

// The count box text, right-aligned in five places ("%5d").
std::string countText(int count);

// Whether the text holds the character c; the second byte of a double-byte character
// (the 0x40 of a full-width blank, for one) never counts as an "@".
bool holdsChar(const std::string& text, char c);

// The largest reader number; an empty table or an unreadable value is 0.
int lastReaderNo(ReaderStore& store);

// Why an address (trimmed) must not be stored: a control byte, a NUL, a blank
// (half- or full-width), "<" or ">", or not the form of a mailbox: one "@", before it
// letters, digits, dots and the other ASCII characters RFC 5322 allows in an atom,
// after it at least two labels of letters, digits and hyphens joined by dots. Empty
// when it may be stored.
std::string addressFault(const std::string& address);

// The keys (addressKey of core/Reader.h) of every stored reader's address, read in one query: an import
// loads them once and looks each line up in memory.
std::unordered_set<std::string> knownAddresses(ReaderStore& store);

// Whether the text is exactly length decimal digits.
bool isDigits(const std::string& text, size_t length);

// Whether the database refused a reader number that another import took meanwhile.
bool isKeyConflict(const std::string& error);

// How many times an import moves on to the next free number before it gives up.
constexpr int kNumberRetries = 5;
enum class InsertOutcome { inserted, outOfNumbers };
// Inserts the reader and its consent record (source, time and detail of the given one,
// the reader's number and address) under one savepoint of the transaction. When another
// writer stored its number meanwhile, the reader takes the number after the largest one
// now and tries again, up to kNumberRetries times; reader.id then holds the number used.
// Any other refusal is rolled back to the savepoint and propagates as DbError.
InsertOutcome insertReader(Statement& query, Transaction& transaction, const char* savepoint, Reader& reader,
                           const Consent& consent);

}  // namespace ImportRules
