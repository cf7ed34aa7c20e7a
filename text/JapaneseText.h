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

// A header value: each word (split at TAB, LF, CR and space) that holds a control byte
// or an 8-bit byte becomes ISO-2022-JP in "=?ISO-2022-JP?B?...?=" words; other words
// and the blanks between them stay. Adjacent words that both need encoding share the
// encoded words with the blanks between them, so that the blanks survive decoding.
// Encoded words are split between characters, at most 75 characters each (the first
// at most 69, to fit on a line after "Subject: "), one space apart where the header
// may fold; blanks beyond one beside a plain word are encoded too, so the value reads
// back exactly.
std::string encodeHeader(const std::string& sjis);
// The whole text, blanks included, as encoded words (a display name holding specials).
std::string encodeWord(const std::string& sjis);

// The text up to the first byte a header may not carry: anything but TAB, LF, CR,
// printable ASCII, double-byte characters and half-width katakana (which the encoder
// widens to full width).
std::string cutAtInvalidChar(const std::string& sjis);
// Standard base64 with padding and no line breaks.
std::string base64(const std::string& bytes);
// The bytes of base64 text; characters outside the alphabet (line breaks) are passed
// over and decoding ends at the padding.
std::string fromBase64(const std::string& text);
// The bytes of quoted-printable text (RFC 2045): "=XX" decoded, soft line breaks
// ("=" at a line's end) removed; a malformed "=" stays as it is.
std::string fromQuotedPrintable(const std::string& text);

}  // namespace JapaneseText
