#include "config/Cp1252.h"

#include <array>

namespace lumaro::config {

namespace {

// 0x80..0x9F; 0 marks the five positions that Windows-1252 leaves undefined (kept as the C1
// control of the same number, as Windows' own conversion does).
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t decodeByte(unsigned char b) {
    if (b >= 0x80 && b < 0xA0) {
        const char16_t c = kHighControls[b - 0x80];
        return c != 0 ? c : char16_t(b);
    }
    return char16_t(b);
}

}  // namespace

QString fromCp1252(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) out.append(QChar(decodeByte(static_cast<unsigned char>(c))));
    return out;
}

QByteArray toCp1252(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        char byte = '?';
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            byte = static_cast<char>(c);
        } else {
            for (size_t i = 0; i < kHighControls.size(); ++i) {
                const char16_t mapped =
                    kHighControls[i] != 0 ? kHighControls[i] : char16_t(0x80 + i);
                if (mapped == c) {
                    byte = static_cast<char>(0x80 + i);
                    break;
                }
            }
        }
        out.append(byte);
    }
    return out;
}

}  // namespace lumaro::config
