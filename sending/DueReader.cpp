#include "sending/DueReader.h"

#include "core/ColumnWidths.h"
#include "core/Sjis.h"
#include "core/TextUtil.h"

namespace {
constexpr CellAlignment kLeft = CellAlignment::left;
constexpr CellAlignment kCentre = CellAlignment::centre;

// Five digits without their leading zeros, right-aligned in five places ("   12").
std::string numberCell(int number) { return zeroSuppress(idText(number)); }

std::string padded(std::string text, int width) {
  if (text.size() < static_cast<size_t>(width)) text.append(static_cast<size_t>(width) - text.size(), ' ');
  return text;
}
}  // namespace

const std::array<DueColumnSpec, DueReader::kColumnCount> DueReader::kColumns = {{
    {DueColumn::mark, "送信指示", 64, kLeft, true, 0},  // wide enough for "送信失敗"
    {DueColumn::eligibility, "送信区分", 55, kLeft, true, 0},
    {DueColumn::id, "読者ID", 64, kCentre, true, 0},
    {DueColumn::nextStory, "次回ｽﾄｰﾘ番号", 82, kCentre, true, 0},
    {DueColumn::dueDate, "次回送信日", 84, kCentre, false, 0},
    {DueColumn::lastSentDate, "前回送信日", 84, kCentre, true, 0},
    {DueColumn::lastSentTime, "前回送信時間", 80, kCentre, true, 0},
    {DueColumn::name, "読者名", 220, kLeft, true, ColumnWidth::kName},
    {DueColumn::address, "メールアドレス", 244, kLeft, true, ColumnWidth::kAddress},
    {DueColumn::firstSentDate, "送信開始日", 84, kCentre, true, 0},
    {DueColumn::firstSentTime, "送信開始時間", 84, kCentre, true, 0},
    {DueColumn::registeredDate, "登録日 ", 84, kCentre, true, 0},
    {DueColumn::registeredTime, "登録時間", 72, kCentre, true, 0},
    {DueColumn::note1, "備考１", 64, kLeft, true, ColumnWidth::kNote},
    {DueColumn::note2, "備考２", 64, kLeft, true, ColumnWidth::kNote},
    {DueColumn::note3, "備考３", 64, kLeft, true, ColumnWidth::kNote},
}};

const std::string& markText(SendMark mark) {
  static const std::array<std::string, kSendMarkCount> texts = {
      "",
      Sjis::fromUtf8("  ○  "),
      Sjis::fromUtf8("処理中"),
      Sjis::fromUtf8("  済  "),
      Sjis::fromUtf8("  Skip  "),
      Sjis::fromUtf8("送信失敗"),
      Sjis::fromUtf8("  中止  "),
      Sjis::fromUtf8("保留"),
      Sjis::fromUtf8("停止"),
      Sjis::fromUtf8("スキップ"),
      Sjis::fromUtf8("結果不明"),
  };
  return texts[static_cast<size_t>(mark)];
}

const std::string& eligibilityText(Eligibility eligibility) {
  static const std::array<std::string, 3> texts = {Sjis::fromUtf8("可"), Sjis::fromUtf8("全済"),
                                                   Sjis::fromUtf8("待機")};
  return texts[static_cast<size_t>(eligibility)];
}

std::string DueReader::cell(DueColumn column) const {
  const Reader& r = reader;
  switch (column) {
    case DueColumn::mark: return markText(mark);
    case DueColumn::eligibility: return eligibilityText(eligibility);
    case DueColumn::id: return numberCell(r.id);
    case DueColumn::nextStory: return numberCell(r.nextStory);
    case DueColumn::dueDate: return dueDate.none() ? std::string() : dueDate.dateText();
    case DueColumn::lastSentDate: return r.lastSent.dateText();
    case DueColumn::lastSentTime: return r.lastSent.timeText();
    case DueColumn::name: return r.name;
    case DueColumn::address: return r.address;
    case DueColumn::firstSentDate: return r.firstSent.dateText();
    case DueColumn::firstSentTime: return r.firstSent.timeText();
    case DueColumn::registeredDate: return r.registered.dateText();
    case DueColumn::registeredTime: return r.registered.timeText();
    case DueColumn::note1: return r.note1;
    case DueColumn::note2: return r.note2;
    case DueColumn::note3: return r.note3;
  }
  return std::string();
}

std::string DueReader::shownCell(DueColumn column) const {
  const Reader& r = reader;
  switch (column) {
    case DueColumn::dueDate: return dueDate.none() ? std::string() : dueDate.shownDate();
    case DueColumn::lastSentDate: return r.lastSent.shownDate();
    case DueColumn::lastSentTime: return r.lastSent.shownTime();
    case DueColumn::firstSentDate: return r.firstSent.shownDate();
    case DueColumn::firstSentTime: return r.firstSent.shownTime();
    case DueColumn::registeredDate: return r.registered.shownDate();
    case DueColumn::registeredTime: return r.registered.shownTime();
    default: return cell(column);
  }
}

std::vector<std::string> DueReader::cells() const {
  std::vector<std::string> out;
  out.reserve(kColumnCount);
  for (const DueColumnSpec& spec : kColumns)
    if (spec.logged) out.push_back(padded(cell(spec.column), spec.logWidth));
  return out;
}

std::vector<std::string> DueReader::headerCells() {
  std::vector<std::string> header;
  header.reserve(kColumnCount);
  for (const DueColumnSpec& spec : kColumns)
    if (spec.logged) header.push_back(Sjis::fromUtf8(spec.caption));
  return header;
}
