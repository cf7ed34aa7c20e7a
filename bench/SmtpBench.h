#pragma once
// Shared by the SMTP benchmarks: one Japanese mail sent on a fresh connection each time,
// by our client and by a Python reference script, in alternating batches so that load
// from elsewhere on the machine falls on both.
#include <chrono>
#include <functional>
#include <string>
#include <utility>

#include "core/Sjis.h"
#include "net/MailMessage.h"
#include "net/SmtpClient.h"
#include "text/JapaneseText.h"
#include "tests/support/Servers.h"

namespace bench {

struct SampleMail {
  std::string subject = JapaneseText::encodeHeader(Sjis::fromUtf8("第１回 お知らせ"));
  std::string body = JapaneseText::sjisToJis(
      Sjis::fromUtf8("山田太郎様\r\n\r\nステップメール第１回です。\r\nよろしくお願いします。\r\n"));
};

// Seconds spent by ours and by the reference on mails in total. configure sets up the
// client before each connection; reference(count) is the command that sends count
// mails and prints the seconds it took itself (its interpreter start-up not counted).
inline std::pair<double, double> sendInAlternatingBatches(int mails, const SampleMail& mail,
                                                          const std::function<void(SmtpClient&)>& configure,
                                                          const std::function<std::string(int)>& reference) {
  constexpr int kBatches = 5;
  const int perBatch = mails / kBatches;
  double ours = 0;
  double ref = 0;
  for (int batch = 0; batch < kBatches; ++batch) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < perBatch; ++i) {
      MailMessage m;
      m.from.setText("office@example.com");
      m.recipients.setText("reader" + std::to_string(i) + "@example.org");
      m.subject = mail.subject;
      m.setBodyText(mail.body);
      SmtpClient smtp;
      configure(smtp);
      smtp.connect(-1);
      smtp.send(m);
      smtp.disconnect();
    }
    ours += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ref += std::stod(runCommand(reference(perBatch)));
  }
  return {ours, ref};
}

}  // namespace bench
