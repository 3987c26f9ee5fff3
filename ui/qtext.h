// Text crosses between the engines (UTF-8 std::string) and Qt (QString) only through these.
#pragma once

#include <QString>
#include <string>

namespace zembrio {

inline QString ToQ(const std::string& text) {
  return QString::fromStdString(text);
}
inline std::string ToStd(const QString& text) {
  return text.toStdString();
}

}  // namespace zembrio
