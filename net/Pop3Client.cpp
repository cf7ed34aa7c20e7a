#include "net/Pop3Client.h"

#include "net/NetErrors.h"

#include <cstdlib>

Pop3Client::Pop3Client() {
  port = 110;
  replyTimeoutMs = 60000;
}

void Pop3Client::readReply() {
  TcpClient::readReply();
  if (lastReply.codeText == "+OK") {
    lastReply.code = OK;
  } else if (lastReply.codeText == "-ERR") {
    lastReply.code = ERR;
  } else {
    throw NetError("Unrecognized POP3 Response Header:\n\"" + lastReply.firstLine + "\"");
  }
}

void Pop3Client::connect(int timeoutMs) {
  TcpClient::connect(timeoutMs);
  try {
    if (security == Pop3Security::ImplicitTls) startTls();
    getResponse({OK});
    if (security == Pop3Security::Stls) {
      if (sendCommand("STLS") != OK) throw MissingServerFeatureError("The server does not offer STLS.");
      startTls();
    }
    sendCommand("USER " + user, {OK});
    sendCommand("PASS", "PASS " + password, {OK});
  } catch (...) {
    disconnect();
    throw;
  }
}

void Pop3Client::disconnect() {
  quitWithoutReply();
  TcpClient::disconnect();
}

std::vector<Pop3Client::Listing> Pop3Client::list() {
  sendCommand("LIST", {OK});
  const std::string text = readDotTerminated(replyTimeoutMs, 64u * 1024 * 1024);
  std::vector<Listing> listings;
  for (std::size_t from = 0; from < text.size();) {
    const std::size_t end = text.find("\r\n", from);
    const std::string line = text.substr(from, end - from);
    from = end + 2;
    char* rest = nullptr;
    const long number = std::strtol(line.c_str(), &rest, 10);
    const unsigned long long size = std::strtoull(rest, nullptr, 10);
    if (number <= 0 || rest == line.c_str()) throw NetError("Unrecognized POP3 listing line:\n\"" + line + "\"");
    listings.push_back(Listing{static_cast<int>(number), static_cast<std::size_t>(size)});
  }
  return listings;
}

std::string Pop3Client::retrieve(int number, std::size_t maxBytes) {
  sendCommand("RETR " + std::to_string(number), {OK});
  return readDotTerminated(replyTimeoutMs, maxBytes);
}

void Pop3Client::remove(int number) { sendCommand("DELE " + std::to_string(number), {OK}); }

void Pop3Client::quit() {
  try {
    sendCommand("QUIT", {OK});
  } catch (...) {
    TcpClient::disconnect();
    throw;
  }
  TcpClient::disconnect();
}
