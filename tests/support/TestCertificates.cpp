#include "tests/support/TestCertificates.h"

#include <cstdlib>
#include <stdexcept>

#include "tests/support/Servers.h"

namespace {

void run(const std::string& command) {
  int rc = 0;
  const std::string out = runCommand(command + " 2>&1", &rc);
  if (rc != 0) throw std::runtime_error("failed: " + command + "\n" + out);
}

}  // namespace

const TestCertificates& TestCertificates::get() {
  static const TestCertificates made;
  return made;
}

TestCertificates::TestCertificates() {
  const std::string d = "'" + m_dir.path() + "'/";
  const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
  authority = m_dir.file("ca.pem");
  run("openssl req -x509" + ec + " -keyout " + d + "ca.key -out " + d + "ca.pem -days 30 -subj '/CN=QuorMail Test CA'");
  const auto issue = [&](const std::string& name, const std::string& host, const std::string& san, int days) {
    run("openssl req" + ec + " -keyout " + d + name + ".key -out " + d + name + ".csr -subj '/CN=" + host + "'");
    writeFileBytes(m_dir.file(name + ".ext"), "subjectAltName=" + san + "\n");
    run("openssl x509 -req -in " + d + name + ".csr -CA " + d + "ca.pem -CAkey " + d + "ca.key -CAcreateserial -out " +
        d + name + ".pem -days " + std::to_string(days) + " -extfile " + d + name + ".ext");
    return Pair{m_dir.file(name + ".pem"), m_dir.file(name + ".key")};
  };
  localhost = issue("localhost", "localhost", "DNS:localhost,IP:127.0.0.1", 30);
  wrongHost = issue("wrong", "other.example", "DNS:other.example", 30);
  // Valid from now until a day ago: expired as soon as it is made.
  expired = issue("expired", "localhost", "DNS:localhost,IP:127.0.0.1", -1);
  ::setenv("SSL_CERT_FILE", authority.c_str(), 1);
}
