#pragma once
#include <filesystem>
#include <string>

// Files that hold personal data (password files, logs of readers): created readable
// and writable by their owner only, whatever the process's umask. Failures throw
// std::runtime_error naming the file and the system's reason.

// Replaces the file with the bytes; an earlier file with wider rights is narrowed.
void writePrivateFile(const std::filesystem::path& path, const std::string& bytes);
// Appends the bytes, creating the file when it is missing.
void appendPrivateFile(const std::filesystem::path& path, const std::string& bytes);
