#include "utf8.h"

#include "utf16.h"

namespace tavik {

Utf8Char decodeUtf8(const unsigned char* s, std::size_t size) {
    const unsigned lead = s[0];
    if (lead < 0x80) return {lead, 1};
    auto follows = [&](std::size_t k) { return k < size && (s[k] & 0xC0) == 0x80; };
    if (lead >= 0xC2 && lead < 0xE0 && follows(1)) return {((lead & 0x1Fu) << 6) | (s[1] & 0x3Fu), 2};
    if (lead >= 0xE0 && lead < 0xF0 && follows(1) && follows(2)) {
        const char32_t v = ((lead & 0x0Fu) << 12) | ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu);
        if (v >= 0x800 && !isSurrogate(v)) return {v, 3}; // neither too long a form nor a surrogate
    } else if (lead >= 0xF0 && lead < 0xF5 && follows(1) && follows(2) && follows(3)) {
        const char32_t v =
            ((lead & 0x07u) << 18) | ((s[1] & 0x3Fu) << 12) | ((s[2] & 0x3Fu) << 6) | (s[3] & 0x3Fu);
        if (v >= 0x10000 && v <= 0x10FFFF) return {v, 4};
    }
    return {REPLACEMENT_CHARACTER, 1};
}

std::size_t utf8Length(unsigned char lead) {
    if (lead >= 0xC2 && lead < 0xE0) return 2;
    if (lead >= 0xE0 && lead < 0xF0) return 3;
    if (lead >= 0xF0 && lead < 0xF5) return 4;
    return 1;
}

void appendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

int toUtf16(char32_t cp, char16_t out[2]) {
    if (cp < 0x10000) {
        out[0] = static_cast<char16_t>(cp);
        return 1;
    }
    cp -= 0x10000;
    out[0] = static_cast<char16_t>(0xD800 + (cp >> 10));
    out[1] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    return 2;
}

std::u16string utf16FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Char c = decodeUtf8(s + i, text.size() - i);
        char16_t units[2];
        out.append(units, static_cast<std::size_t>(toUtf16(c.codePoint, units)));
        i += c.length;
    }
    return out;
}

std::string utf8FromUtf16(const char16_t* text, std::size_t count) {
    std::string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        char32_t cp = text[i];
        if (isHighSurrogate(cp) && i + 1 < count && isLowSurrogate(text[i + 1])) {
            cp = combineSurrogates(cp, text[i + 1]);
            ++i;
        } else if (isSurrogate(cp)) {
            cp = REPLACEMENT_CHARACTER;
        }
        appendUtf8(cp, out);
    }
    return out;
}

} // namespace tavik
