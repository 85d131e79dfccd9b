#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

namespace rotavox {

// UTF-8 text of the core as Qt text.
inline QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The bytes Qt holds, as they are.
inline std::string bytesOf(const QByteArray& b) { return std::string(b.constData(), static_cast<std::size_t>(b.size())); }

}  // namespace rotavox
