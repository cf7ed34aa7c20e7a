#include "core/Sjis.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace Sjis {

QString toQ(const std::string& cp932) {
  QStringDecoder decoder("windows-31j");
  return decoder.decode(QByteArrayView(cp932.data(), static_cast<qsizetype>(cp932.size())));
}

std::string fromQ(const QString& text) {
  QStringEncoder encoder("windows-31j");
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

std::string toUtf8(const std::string& cp932) { return toQ(cp932).toStdString(); }

}  // namespace Sjis
