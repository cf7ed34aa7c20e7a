#pragma once
#include <string>
#include <unordered_set>
#include <vector>

#include "core/Tables.h"

class Statement;
class Transaction;

// What both reader imports share.
namespace ImportRules {

// Reader numbers end here; no import ever issues a larger one.
constexpr int kLastReaderNo = 99999;

// A new reader as the imports write it: address cut and padded to 50 bytes, name to
// 60, sendable, due for the first story mail, nothing sent yet, no remarks.
ReaderRow newReader(int number, const std::string& mail, const std::string& date, const std::string& time,
                    const std::string& name);

// The count box text, right-aligned in five places ("%5d").
std::string countText(int count);

// Whether the text holds the character c; the second byte of a double-byte character
// (the 0x40 of a full-width blank, for one) never counts as an "@".
bool holdsChar(const std::string& text, char c);

// The largest reader number; an empty table or an unreadable value is 0.
int lastReaderNo(Statement& q);

// Why an address (trimmed) must not be stored: a control byte, a NUL, a blank
// (half- or full-width), "<" or ">"; empty when it may be.
std::string addressFault(const std::string& address);

// The address as the duplicate check compares it: trimmed, its ASCII letters in lower
// case (the second byte of a double-byte character is left alone).
std::string addressKey(const std::string& address);

// The keys (addressKey) of every stored reader's address, read in one query: an import
// loads them once and looks each line up in memory.
std::unordered_set<std::string> knownAddresses(Statement& q);

// Whether the text is exactly length decimal digits.
bool isDigits(const std::string& text, size_t length);

// Whether the database refused a reader number that another import took meanwhile.
bool isKeyConflict(const std::string& error);

// How many times an import moves on to the next free number before it gives up.
constexpr int kNumberRetries = 5;
enum class InsertOutcome { inserted, outOfNumbers };
// Inserts the reader under its own savepoint of the transaction. When another writer
// stored its number meanwhile, the reader takes the number after the largest one now
// and tries again, up to kNumberRetries times; reader.id then holds the number used.
// Any other refusal is rolled back to the savepoint and propagates as DbError.
InsertOutcome insertReader(Statement& q, Transaction& transaction, const char* savepoint, ReaderRow& reader);

}  // namespace ImportRules
