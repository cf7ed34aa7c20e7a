#pragma once
#include <functional>
#include <string>
#include <vector>

// A numbered reply ("250 ok", or several "250-" lines ended by "250 ").
class ServerReply {
 public:
  int code = 0;
  std::string codeText;
  std::vector<std::string> lines;
  std::string firstLine;  // the first line whole, code included

  // Reads one reply from nextLine, which yields received lines without their line end
  // (and raises when none can come). lines are trimmed; empty lines are skipped.
  void readFrom(const std::function<std::string()>& nextLine);
  // The text lines, each followed by CR LF.
  std::string textWithLineEnds() const;
  // The RFC 3463 code ("5.1.1", "4.7.0", "5.1.10") that starts the first text line,
  // when it is whole and of the reply code's class; otherwise empty.
  std::string enhancedCode() const;
  void clear();
};
