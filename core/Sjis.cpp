#include "core/Sjis.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace Sjis {

// Opening a converter by name is costly; each thread keeps one of each and clears its
// state before every use, so no half character carries over between texts.
QString toQ(const std::string& cp932) {
  // Plain ASCII (digits, dates, addresses) is the same in both: no converter needed.
  bool ascii = true;
  for (char c : cp932) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return QString::fromLatin1(cp932.data(), static_cast<qsizetype>(cp932.size()));
  thread_local QStringDecoder decoder("windows-31j");
  decoder.resetState();
  return decoder.decode(QByteArrayView(cp932.data(), static_cast<qsizetype>(cp932.size())));
}

std::string fromQ(const QString& text) {
  bool ascii = true;
  for (QChar c : text) ascii = ascii && c.unicode() < 0x80;
  if (ascii) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
  }
  thread_local QStringEncoder encoder("windows-31j");
  encoder.resetState();
  const QByteArray bytes = encoder.encode(text);
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::filesystem::path toPath(const std::string& cp932) {
  return std::filesystem::path(toQ(cp932).toStdString());
}

std::string fromPath(const std::filesystem::path& path) {
  return fromQ(QString::fromStdString(path.string()));
}

std::string fromUtf8(const std::string& utf8) { return fromQ(QString::fromStdString(utf8)); }

std::string toUtf8(const std::string& cp932) {
  for (char c : cp932)
    if (static_cast<unsigned char>(c) >= 0x80) return toQ(cp932).toStdString();
  return cp932;  // plain ASCII reads the same in both
}

}  // namespace Sjis
