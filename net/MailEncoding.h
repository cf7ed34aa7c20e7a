#pragma once
#include <string>

// The message writer's own encodings in its Japanese mode: Shift-JIS lines to
// ISO-2022-JP, and header words to RFC 2047 encoded words.
namespace mailEncoding {

std::string base64(const std::string& bytes);
// Double-byte Shift-JIS runs become ESC $ B ... ESC ( B; other bytes, and a lead byte
// whose next byte is no trail byte, pass unchanged.
std::string sjisToJis(const std::string& line);
// Converts to ISO-2022-JP, then encodes each word (split at TAB, LF, CR and space)
// that holds a control byte or an 8-bit byte; other words and the separators stay.
// Adjacent words that both need encoding share one encoded word with the blanks
// between them, so that the blanks survive decoding.
std::string encodeHeader(const std::string& text);

}  // namespace mailEncoding
