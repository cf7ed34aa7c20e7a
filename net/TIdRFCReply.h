#pragma once
#include <functional>
#include <string>
#include <vector>

// A numbered reply ("250 ok", or several "250-" lines ended by "250 ").
class TIdRFCReply {
 public:
  int NumericCode = 0;
  std::string TextCode;
  std::vector<std::string> Text;
  std::string FirstLine;  // the first line whole, code included

  // Reads one reply from nextLine, which yields received lines without their line end
  // (and raises when none can come). Lines are trimmed; empty lines are skipped.
  void ReadFrom(const std::function<std::string()>& nextLine);
  // The text lines, each followed by CR LF: the message of a protocol error.
  std::string TextWithLineEnds() const;
  void Clear();
};
