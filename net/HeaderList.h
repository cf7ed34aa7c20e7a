#pragma once
#include <string>
#include <utility>
#include <vector>

// Mail headers in the order they were first set. Names match without regard to case;
// setting a value replaces the header in place, an empty value removes it.
class HeaderList {
 public:
  void setValue(const std::string& name, const std::string& value);
  std::string value(const std::string& name) const;
  void append(const std::string& name, const std::string& value);
  void addAll(const HeaderList& other);
  void clear() { m_headers.clear(); }
  const std::vector<std::pair<std::string, std::string>>& headers() const { return m_headers; }
  // Every header as "Name: value", folded where longer than 78 characters.
  std::vector<std::string> lines() const;

 private:
  std::vector<std::pair<std::string, std::string>> m_headers;
};

// Folds one header line: past 78 characters (a double-byte character counts once) it
// breaks after the last TAB, space or comma outside quotes, the rest continuing on a
// line that begins with a space. A stretch without such a character stays whole, and
// the blank after "Name:" is no break.
std::vector<std::string> foldHeaderLine(const std::string& line);
