#pragma once
#include <filesystem>
#include <string>

class QString;

// The one place where the program's CP932 byte strings meet Qt's UTF-16 text and the
// file system's names.
namespace Sjis {

QString toQ(const std::string& cp932);
std::string fromQ(const QString& text);

// File names: the program keeps paths as CP932 text (settings, messages); the file
// system wants its own encoding.
std::filesystem::path toPath(const std::string& cp932);
std::string fromPath(const std::filesystem::path& path);

// UTF-8 literals in the sources, as CP932 bytes for the program.
std::string fromUtf8(const std::string& utf8);
std::string toUtf8(const std::string& cp932);

}  // namespace Sjis
