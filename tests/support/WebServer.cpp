#include "tests/support/WebServer.h"

#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace {
std::string fetch(const std::string& arguments, int* status) {
  // curl prints the body, then the status on a line of its own.
  int exitCode = -1;
  std::string out = runCommand("curl -s --path-as-is -m 20 -w '\\n%{http_code}' " + arguments, &exitCode);
  const std::size_t cut = out.rfind('\n');
  if (status) *status = cut == std::string::npos ? -1 : std::stoi("0" + out.substr(cut + 1));
  return cut == std::string::npos ? out : out.substr(0, cut);
}
}  // namespace

PhpTestServer::PhpTestServer(const std::string& folderToServe, int fileSizeBlocks)
    : m_docroot(folderToServe.empty() ? folder() + "/web" : folderToServe) {
  fs::create_directories(m_docroot);
  for (const auto& entry : fs::directory_iterator(QUORMAIL_SOURCE_DIR "/contrib/web"))
    fs::copy(entry.path(), docroot() + "/" + entry.path().filename().string());
  const std::vector<std::string> php = {"/usr/bin/php", "-S", "127.0.0.1:" + std::to_string(m_port), "-t", docroot(),
                                        docroot() + "/router.php"};
  if (fileSizeBlocks == 0) {
    start(php);
    return;
  }
  // An ignored signal stays ignored across exec: the write fails with EFBIG instead.
  std::string command = "trap '' XFSZ; ulimit -f " + std::to_string(fileSizeBlocks) + "; exec";
  for (const std::string& word : php) command += " '" + word + "'";
  start({"/bin/sh", "-c", command});
}

std::string PhpTestServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::string PhpTestServer::post(const std::string& path, const std::string& form, int* status) const {
  return fetch("--data-binary '" + form + "' '" + url(path) + "'", status);
}

std::string PhpTestServer::get(const std::string& path, int* status) const {
  return fetch("'" + url(path) + "'", status);
}
