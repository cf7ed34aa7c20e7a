#pragma once
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

// A write to the settings file failed; the text names the file.
class IniFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An INI file read and written key by key, as the Windows profile functions do, on
// CP932 bytes. Section and key names match without regard to ASCII letter case; values
// are trimmed when read. Every write rewrites the file at once and leaves all other
// lines (comments, unknown keys, their order and line ends) as they were.
class IniFile {
 public:
  // Reads the file; a missing or unreadable one reads as empty.
  explicit IniFile(std::filesystem::path path);

  const std::filesystem::path& path() const { return m_path; }

  // The first value of the key in the first section of that name, or def.
  std::string readString(const std::string& section, const std::string& key, const std::string& def) const;
  // Decimal (or "$"/"0x" hexadecimal) value; empty or anything else gives def.
  int readInteger(const std::string& section, const std::string& key, int def) const;

  // Replaces the key's line, or adds it at the end of its section, adding the section at
  // the end of the file when it is missing. Throws IniFileError when the file cannot be
  // written (read-only, missing folder); the file then keeps its earlier content.
  void writeString(const std::string& section, const std::string& key, const std::string& value);
  void writeInteger(const std::string& section, const std::string& key, int value);

 private:
  struct Line {
    std::string text;
    std::string eol;  // "\r\n", "\n", or empty for a last line without one
  };

  // Index of the section's header line, or npos.
  size_t findSection(const std::string& section) const;
  // Index of the key's line between the header at `header` and the next header, or npos.
  size_t findKey(size_t header, const std::string& key) const;
  void save(const std::vector<Line>& lines) const;

  std::filesystem::path m_path;
  std::vector<Line> m_lines;
  std::string m_eol = "\r\n";  // for new lines: the file's own line end
};
