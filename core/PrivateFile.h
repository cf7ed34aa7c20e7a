#pragma once
#include <filesystem>
#include <string>

// Files that hold personal data (password files, the unsubscribe secret, the logs, the
// download and its backups): created readable and writable by their owner only (0600)
// whatever the process's umask, and a file that had wider rights is narrowed when
// written. Failures throw std::system_error naming the file and the system's reason.
namespace PrivateFile {

// Creates the file empty, or empties it.
void create(const std::filesystem::path& path);
// Replaces the file's contents with the bytes.
void write(const std::filesystem::path& path, const std::string& bytes);
// Appends the bytes; false when they did not reach the file (logging never fails a run).
bool append(const std::filesystem::path& path, const std::string& bytes);
// Copies the file and waits until the copy is on the disk.
void copyDurably(const std::filesystem::path& from, const std::filesystem::path& to);
// Replaces the file as a whole: written beside it, flushed to the disk, renamed over
// it, and the folder flushed, so a kill at any moment leaves the old or the new file.
void replaceDurably(const std::filesystem::path& path, const std::string& bytes);

}  // namespace PrivateFile
