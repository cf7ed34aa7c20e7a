#pragma once

// The widths in bytes of the fixed-width columns of USERLIST and STORYLIST (db/schema.sql).
namespace ColumnWidth {
constexpr int kReaderId = 5;
constexpr int kAddress = 50;
constexpr int kDate = 8;
constexpr int kTime = 6;
constexpr int kName = 60;
constexpr int kStatus = 2;
constexpr int kStoryNo = 5;
constexpr int kNote = 60;
}  // namespace ColumnWidth
