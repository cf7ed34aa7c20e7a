#pragma once
#include <string>

class Statement;

// A reader of USERLIST: the 14 text columns in table order.
struct ReaderRow {
  std::string id, address, registeredDate, registeredTime, name, status, nextStory, firstSentDate, firstSentTime,
      lastSentDate, lastSentTime, note1, note2, note3;
};

// A story mail of STORYLIST.
struct StoryRow {
  std::string number, subject, body;
};

// The SQL texts of the two tables. Every value becomes a quoted literal with its single
// quotes doubled, except a story's body: the parameter "pSTORY" carries it as a blob, so
// it may be longer than a literal can be. Keys are passed already zero-filled.
namespace Sql {

std::string quoted(const std::string& value);

std::string allReaders();                             // 1
std::string readerById(const std::string& id);        // 2
std::string readerAfter(const std::string& id);       // 3
std::string readerBefore(const std::string& id);      // 4
std::string readersByName(const std::string& text);   // 5
std::string readersByAddress(const std::string& text);// 6
std::string maxReaderId();                            // 7
std::string insertReader(const ReaderRow& r);         // 8
std::string updateReader(const ReaderRow& r);         // 9
std::string deleteReader();                           // 10, parameter "pID"

std::string allStories();                             // 11
std::string storyByNo(const std::string& no);         // 12
std::string storyAfter(const std::string& no);        // 13
// 14: from a current number, or (empty number) the mail numbered lastNo.
std::string storyBefore(const std::string& no, const std::string& lastNo);
std::string storiesFrom(const std::string& no);       // 15
std::string maxStoryNo();                             // 16
std::string insertStory(const StoryRow& s);           // 17, parameter "pSTORY"
std::string updateStory(const StoryRow& s);           // 18, parameter "pSTORY"
std::string deleteStory();                            // 19, parameter "pSTORYNO"

}  // namespace Sql

// Reads the current row of the statement into a reader, each column cut to its width
// (the address to addressWidth).
ReaderRow readReader(const Statement& q, size_t addressWidth = 50);

// Which statement a write ran (or was running when it failed).
enum class WriteKind { Insert, Update };

// Looks the key up and inserts the reader when absent, else updates it. When kind is
// given it is set before the INSERT or UPDATE runs, so a caller can name a failed one.
void writeReader(Statement& q, const ReaderRow& r, WriteKind* kind = nullptr);
// The same for a story mail.
void writeStory(Statement& q, const StoryRow& s, WriteKind* kind = nullptr);

// Runs a one-value query (MAX) and returns the trimmed "MAX" column.
std::string readMax(Statement& q, const std::string& sql);
