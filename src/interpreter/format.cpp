// A formatter of our own for the few directives the system's texts use, over UTF-16.
#include "format.h"

namespace tavik {

std::size_t textLength(const char16_t* s) {
    std::size_t n = 0;
    while (s[n] != 0) ++n;
    return n;
}

std::size_t formatText(char16_t* out, std::size_t capacity, const char16_t* format,
                       std::initializer_list<FormatArg> args) {
    if (capacity == 0) return 0;
    std::size_t n = 0;
    const std::size_t limit = capacity - 1;
    auto put = [&](char16_t c) {
        if (n < limit) out[n++] = c;
    };
    const FormatArg* arg = args.begin();
    for (const char16_t* f = format; *f != 0; ++f) {
        if (*f != u'%') {
            put(*f);
            continue;
        }
        const char16_t directive = *++f;
        if (directive == 0) break;
        if (directive == u'%') {
            put(u'%');
            continue;
        }
        if (arg == args.end()) continue;
        const FormatArg& a = *arg++;
        switch (directive) {
        case u'd': {
            char16_t digits[12];
            int k = 0;
            std::int64_t v = a.number;
            const bool negative = v < 0;
            if (negative) v = -v;
            do digits[k++] = static_cast<char16_t>(u'0' + v % 10);
            while ((v /= 10) != 0);
            if (negative) put(u'-');
            while (k > 0) put(digits[--k]);
            break;
        }
        case u'x': {
            char16_t digits[8];
            int k = 0;
            std::uint32_t v = static_cast<std::uint32_t>(a.number);
            do digits[k++] = u"0123456789abcdef"[v & 15];
            while ((v >>= 4) != 0);
            while (k > 0) put(digits[--k]);
            break;
        }
        case u's':
            if (a.text)
                for (const char16_t* s = a.text; *s != 0; ++s) put(*s);
            break;
        case u'c': put(static_cast<char16_t>(a.number)); break;
        default: break;
        }
    }
    out[n] = 0;
    return n;
}

} // namespace tavik
