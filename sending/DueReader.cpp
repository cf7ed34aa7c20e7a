#include "sending/DueReader.h"

#include "core/Sjis.h"

const std::array<const char*, DueReader::kColumnCount> DueReader::kCaptions = {
    "送信指示",   "送信区分",     "読者ID",  "次回ｽﾄｰﾘ番号", "前回送信日", "前回送信時間", "読者名", "メールアドレス",
    "送信開始日", "送信開始時間", "登録日 ", "登録時間",     "備考１",     "備考２",       "備考３"};

const std::string& markText(SendMark mark) {
  static const std::array<std::string, 7> texts = {
      "",
      Sjis::fromUtf8("  ○  "),
      Sjis::fromUtf8("処理中"),
      Sjis::fromUtf8("  済  "),
      Sjis::fromUtf8("  Skip  "),
      Sjis::fromUtf8("エラー"),
      Sjis::fromUtf8("  中止  "),
  };
  return texts[static_cast<size_t>(mark)];
}

const std::string& eligibilityText(Eligibility eligibility) {
  static const std::array<std::string, 4> texts = {Sjis::fromUtf8("可"), Sjis::fromUtf8("不可"),
                                                   Sjis::fromUtf8("全済"), Sjis::fromUtf8("待機")};
  return texts[static_cast<size_t>(eligibility)];
}

std::vector<std::string> DueReader::cells() const {
  return {markText(mark), eligibilityText(eligibility), id,         nextStory,     lastSentDate,
          lastSentTime,   name,                         address,    firstSentDate, firstSentTime,
          registeredDate, registeredTime,               note1,      note2,         note3};
}

std::vector<std::string> DueReader::headerCells() {
  std::vector<std::string> header;
  header.reserve(kColumnCount);
  for (const char* caption : kCaptions) header.push_back(Sjis::fromUtf8(caption));
  return header;
}
