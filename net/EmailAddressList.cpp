#include "net/EmailAddressList.h"

void EmailAddressList::setText(const std::string& text) {
  items.clear();
  bool inQuotes = false;
  bool inBrackets = false;
  std::string piece;
  auto flush = [this, &piece] {
    if (piece.find_first_not_of(" \t") != std::string::npos) add().setText(piece);
    piece.clear();
  };
  for (char c : text) {
    if (c == '"') inQuotes = !inQuotes;
    if (!inQuotes && c == '<') inBrackets = true;
    if (!inQuotes && c == '>') inBrackets = false;
    if (!inQuotes && !inBrackets && (c == ',' || c == ';'))
      flush();
    else
      piece.push_back(c);
  }
  flush();
}

EmailAddress& EmailAddressList::add() {
  items.emplace_back();
  return items.back();
}

std::string EmailAddressList::headerText() const {
  std::string out;
  for (const EmailAddress& item : items) {
    if (!out.empty()) out += ", ";
    out += item.headerText();
  }
  return out;
}
