#pragma once
#include <string>

// Japanese text for mail: CP932 (Shift-JIS) text to ISO-2022-JP (RFC 1468) and back,
// RFC 2047 encoded words for headers. Pure byte-string work: no state, nothing raised.
namespace JapaneseText {

// ISO-2022-JP of a CP932 text, for bodies and headers alike. Each run of double-byte
// characters opens with ESC $ B and ends with ESC ( B before the next single byte and
// at the end. Half-width katakana become their full-width forms, a following voiced or
// semi-voiced mark merged where JIS has the combined character ("ｶﾞ" -> "ガ"). A byte
// that starts no character (0x80, 0xA0, 0xFD-0xFF, a lead byte whose next byte is no
// trail byte) passes unchanged: converted as a pair it could come out as CR or LF.
std::string sjisToJis(const std::string& sjis);
// CP932 of an ISO-2022-JP text, as a mail reader decodes it; half a character at the
// end is dropped.
std::string jisToSjis(const std::string& jis);

// A header value: converts to ISO-2022-JP, then encodes each word (split at TAB, LF,
// CR and space) that holds a control byte or an 8-bit byte as "=?ISO-2022-JP?B?...?=";
// other words and the separators stay. Adjacent words that both need encoding share
// one encoded word with the blanks between them, so that the blanks survive decoding.
std::string encodeHeader(const std::string& sjis);
// The whole text as one encoded word (a display name holding specials).
std::string encodeWord(const std::string& sjis);

// The text up to the first byte a header may not carry: anything but TAB, LF, CR,
// printable ASCII and double-byte characters (half-width katakana end it too).
std::string cutAtInvalidChar(const std::string& sjis);
// Standard base64 with padding and no line breaks.
std::string base64(const std::string& bytes);

}  // namespace JapaneseText
