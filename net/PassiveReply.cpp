#include "net/PassiveReply.h"

#include "net/NetErrors.h"

namespace {

std::string trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

}  // namespace

PassiveAddress parsePassiveReply(const std::string& text) {
  const std::string line = trim(text);
  const std::size_t open = line.find('(');
  const std::size_t close = open == std::string::npos ? open : line.find(')', open);
  std::string numbers;
  if (close != std::string::npos) {
    numbers = line.substr(open + 1, close - open - 1);
  } else {
    const std::size_t space = line.rfind(' ');
    numbers = space == std::string::npos ? line : line.substr(space + 1);
  }
  int values[6];
  int count = 0;
  std::size_t i = 0;
  // Six decimal numbers 0..255 separated by commas, spaces around them allowed.
  while (count < 6) {
    while (i < numbers.size() && numbers[i] == ' ') ++i;
    int value = -1;
    while (i < numbers.size() && numbers[i] >= '0' && numbers[i] <= '9' && value < 256)
      value = (value < 0 ? 0 : value * 10) + (numbers[i++] - '0');
    while (i < numbers.size() && numbers[i] == ' ') ++i;
    if (value < 0 || value > 255) break;
    values[count++] = value;
    if (count < 6) {
      if (i >= numbers.size() || numbers[i] != ',') break;
      ++i;
    }
  }
  if (count != 6 || i != numbers.size()) throw NetError("Invalid PASV reply: " + line);
  PassiveAddress address;
  address.host = std::to_string(values[0]) + "." + std::to_string(values[1]) + "." + std::to_string(values[2]) + "." +
                 std::to_string(values[3]);
  address.port = values[4] * 256 + values[5];
  return address;
}
