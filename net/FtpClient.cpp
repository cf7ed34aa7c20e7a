#include "net/FtpClient.h"

#include <cerrno>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "net/NetErrors.h"
#include "net/PassiveReply.h"
#include "net/Socket.h"

namespace {

constexpr std::size_t kBlockSize = 256 * 1024;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// "PORT h1,h2,h3,h4,p1,p2" for the listening socket.
std::string portCommand(const Socket& listener) {
  std::string address = listener.localAddress();
  for (char& c : address)
    if (c == '.') c = ',';
  const int port = listener.localPort();
  return "PORT " + address + "," + std::to_string(port >> 8) + "," + std::to_string(port & 0xFF);
}

}  // namespace

FtpClient::FtpClient() {
  port = 21;
  readTimeoutMs = 10000;
}

void FtpClient::connect(int timeoutMs) { connect(true, timeoutMs); }

void FtpClient::connect(bool autoLogin, int timeoutMs) {
  m_resumeTested = false;
  m_canResume = false;
  TcpClient::connect(timeoutMs);
  try {
    getResponse({220});
    greeting = lastReply;
    if (useTls) {
      sendCommand("AUTH TLS", {234});
      startTls();
    }
    if (autoLogin) login();
  } catch (...) {
    disconnect();
    throw;
  }
}

void FtpClient::login() {
  if (sendCommand("USER " + user, {230, 331}) == 331) sendCommand("PASS " + password, {230});
  if (useTls) {
    sendCommand("PBSZ 0", {200});
    sendCommand("PROT P", {200});
  }
  sendCommand(std::string("TYPE ") + (transferType == FtpTransferType::binary ? "I" : "A"), {200});
  if (sendCommand("SYST", {200, 215, 500}) == 500)
    systemDescription = "\x95\x73\x96\xbe";  // 不明 (unknown)
  else
    systemDescription = lastReply.lines.empty() ? std::string() : lastReply.lines[0];
  reportStatus(ConnectionStatus::Ready, "Connection established");
}

void FtpClient::disconnect() { TcpClient::disconnect(); }

void FtpClient::readReply() { readReplyWithin(replyTimeoutMs > 0 ? replyTimeoutMs : readTimeoutMs); }

void FtpClient::changeDir(const std::string& directory) { sendCommand("CWD " + directory, {200, 250}); }

std::int64_t FtpClient::size(const std::string& fileName) {
  if (sendCommand("SIZE " + fileName) != 213 || lastReply.lines.empty()) return -1;
  std::string text = trim(lastReply.lines[0]);
  const std::size_t space = text.find(' ');
  if (space != std::string::npos) text = text.substr(0, space);
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 18) return -1;
  return std::strtoll(text.c_str(), nullptr, 10);
}

void FtpClient::rename(const std::string& from, const std::string& to) {
  sendCommand("RNFR " + from, {350});
  sendCommand("RNTO " + to, {250});
}

void FtpClient::deleteFile(const std::string& fileName) { sendCommand("DELE " + fileName, {250}); }

bool FtpClient::canResume() {
  if (!m_resumeTested) {
    m_canResume = sendCommand("REST 1") == 350;
    sendCommand("REST 0");
    m_resumeTested = true;
  }
  return m_canResume;
}

void FtpClient::list(std::vector<std::string>& dest, const std::string& mask, bool details) {
  std::string listing;
  transfer(trim((details ? "LIST " : "NLST ") + mask), {125, 150, 154}, {125, 150, 154}, 0,
           [&](Socket& data) { listing = receiveAll(data); });
  dest.clear();
  std::size_t start = 0;
  while (start < listing.size()) {
    std::size_t end = listing.find('\n', start);
    if (end == std::string::npos) end = listing.size();
    std::size_t cut = end;
    if (cut > start && listing[cut - 1] == '\r') --cut;
    dest.push_back(listing.substr(start, cut - start));
    start = end + 1;
  }
}

void FtpClient::get(const std::string& remoteName, const std::string& localFile, bool canOverwrite, bool resume) {
  const bool exists = std::filesystem::exists(localFile);
  std::int64_t restartAt = 0;
  const char* mode = "wb";
  if (exists && resume && canResume()) {
    mode = "ab";
    restartAt = static_cast<std::int64_t>(std::filesystem::file_size(localFile));
  } else if (exists && !canOverwrite) {
    throw NetError("Destination file already exists.");
  }
  File file(std::fopen(localFile.c_str(), mode));
  if (!file) throw LocalFileError("Cannot create file " + localFile, errno);
  transfer("RETR " + remoteName, {125, 150, 154}, {125, 150, 154}, restartAt, [&](Socket& data) {
    std::vector<char> block(kBlockSize);
    std::int64_t count = 0;
    for (;;) {
      const std::size_t got = data.receive(block.data(), block.size(), readTimeoutMs);
      if (got == 0) break;
      if (std::fwrite(block.data(), 1, got, file.get()) != got)
        throw LocalFileError("Cannot write file " + localFile, errno);
      count += static_cast<std::int64_t>(got);
      if (onWork) onWork(*this, WorkMode::read, count);
    }
  });
  if (std::fclose(file.release()) != 0) throw LocalFileError("Cannot write file " + localFile, errno);
}

void FtpClient::put(const std::string& localFile, const std::string& remoteName, bool append) {
  File file(std::fopen(localFile.c_str(), "rb"));
  if (!file) throw LocalFileError("Cannot open file " + localFile, errno);
  const std::string command = remoteName.empty() ? "STOU" : (append ? "APPE " : "STOR ") + remoteName;
  transfer(command, {110, 125, 150}, {125, 150}, 0, [&](Socket& data) {
    std::vector<char> block(kBlockSize);
    std::int64_t count = 0;
    for (;;) {
      const std::size_t got = std::fread(block.data(), 1, block.size(), file.get());
      if (got == 0) break;
      data.sendAll(block.data(), got);
      count += static_cast<std::int64_t>(got);
      if (onWork) onWork(*this, WorkMode::write, count);
    }
    if (std::ferror(file.get())) throw LocalFileError("Cannot read file " + localFile, errno);
    data.closeAfterSending(readTimeoutMs > 0 ? readTimeoutMs : 10000);
  });
}

void FtpClient::transfer(const std::string& command, std::initializer_list<int> passiveCodes,
                      std::initializer_list<int> activeCodes, std::int64_t restartAt, const DataHandler& handler) {
  if (!connected()) throw NotConnectedError();
  reportStatus(ConnectionStatus::Transfer, "Starting FTP transfer");
  Socket data;
  Socket listener;
  data.setStopFlag(stopFlag());
  listener.setStopFlag(stopFlag());
  if (passive) {
    sendCommand("PASV", {227});
    const PassiveAddress address = parsePassiveReply(lastReply.lines.empty() ? "" : lastReply.lines[0]);
    // Only the port is taken: a reply naming another host must not send the data
    // connection there (FTP bounce).
    data.connect(socket().peerAddress(), address.port, readTimeoutMs);
  } else {
    listener.listenOn(socket().localAddress(), 15);
    sendCommand(portCommand(listener), {200});
  }
  if (restartAt > 0) sendCommand("REST " + std::to_string(restartAt), {350});
  const std::string verb = command.substr(0, command.find(' '));
  awaitReplyTo(verb);
  writeLine(command);
  getResponse(passive ? passiveCodes : activeCodes);
  // The server connects back in active mode; a server that never does is not waited
  // for longer than a reply would be.
  if (!passive) data = listener.accept(readTimeoutMs);
  // The client side of TLS in both modes (RFC 4217), offering the control session.
  if (useTls) data.startTls(host, handshakeTimeoutMs(), &socket());
  handler(data);
  data.close();
  finishTransfer(verb);
}

std::string FtpClient::receiveAll(Socket& data) {
  std::string all;
  std::vector<char> block(64 * 1024);
  for (;;) {
    const std::size_t got = data.receive(block.data(), block.size(), readTimeoutMs);
    if (got == 0) return all;
    all.append(block.data(), got);
    if (all.size() > maxListingBytes) throw ListingTooLongError(maxListingBytes);
    if (onWork) onWork(*this, WorkMode::read, static_cast<std::int64_t>(all.size()));
  }
}

void FtpClient::finishTransfer(const std::string& verb) {
  reportStatus(ConnectionStatus::Ready, "Transfer complete");
  awaitReplyTo(verb);
  const int code = getResponse({225, 226, 250, 426, 450});
  if (code == 426 || code == 450) {
    const ServerReply aborted = lastReply;
    awaitReplyTo(verb);
    getResponse({226, 225});
    reportStatus(ConnectionStatus::Aborted, "Transfer aborted");
    // The transfer did not complete: the caller must not take the file as whole.
    throw ProtocolReplyError(verb, aborted);
  }
}
