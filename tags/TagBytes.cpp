#include "tags/TagBytes.h"

#include <algorithm>
#include <cstring>

namespace tags {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252 characters 0x80 to 0x9F; the five unassigned codes map to the C1 controls of the
// same value, as the Windows conversion does.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

bool isContinuation(std::uint8_t b) {
    return (b & 0xC0) == 0x80;
}

// Length of the valid sequence starting at text[i]: > 0 when complete and valid, 0 when invalid,
// and -1 when the bytes so far are valid but the text ends inside the sequence.
int utf8SequenceAt(ByteSpan text, std::size_t i) {
    const std::uint8_t lead = text[i];
    if (lead < 0x80)
        return 1;
    int length = 0;
    std::uint8_t low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F; // nothing above U+10FFFF
    } else {
        return 0;
    }
    for (int k = 1; k < length; ++k) {
        if (i + k >= text.size())
            return -1;
        const std::uint8_t b = text[i + k];
        if (k == 1 ? (b < low || b > high) : !isContinuation(b))
            return 0;
    }
    return length;
}

} // namespace

std::optional<std::uint32_t> readSyncsafe32(ByteSpan d, std::size_t at) {
    const auto sub = subSpan(d, at, 4);
    if (!sub)
        return std::nullopt;
    std::uint32_t value = 0;
    for (const std::uint8_t b : *sub)
        value = (value << 7) | (b & 0x7Fu);
    return value;
}

std::optional<ByteSpan> subSpan(ByteSpan d, std::size_t at, std::size_t length) {
    if (at > d.size() || d.size() - at < length)
        return std::nullopt;
    return d.subspan(at, length);
}

bool matchesAt(ByteSpan d, std::size_t at, std::string_view magic) {
    const auto sub = subSpan(d, at, magic.size());
    return sub && std::memcmp(sub->data(), magic.data(), magic.size()) == 0;
}

bool guidAt(ByteSpan d, std::size_t at, const Guid& guid) {
    const auto sub = subSpan(d, at, guid.size());
    return sub && std::equal(sub->begin(), sub->end(), guid.begin());
}

bool ByteReader::seek(std::size_t position) {
    if (position > m_data.size())
        return false;
    m_pos = position;
    return true;
}

bool ByteReader::skip(std::size_t count) {
    if (count > remaining())
        return false;
    m_pos += count;
    return true;
}

std::optional<ByteSpan> ByteReader::bytes(std::size_t count) {
    const auto sub = subSpan(m_data, m_pos, count);
    if (sub)
        m_pos += count;
    return sub;
}

bool ByteReader::expect(std::string_view magic) {
    if (!matchesAt(m_data, m_pos, magic))
        return false;
    m_pos += magic.size();
    return true;
}

bool ByteReader::expectGuid(const Guid& guid) {
    if (!guidAt(m_data, m_pos, guid))
        return false;
    m_pos += guid.size();
    return true;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = kReplacement;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string windows1252ToUtf8(ByteSpan text) {
    std::string out;
    for (const std::uint8_t b : untilNul(text)) {
        if (b >= 0x80 && b <= 0x9F)
            appendUtf8(out, kWindows1252High[b - 0x80]);
        else
            appendUtf8(out, b);
    }
    return out;
}

std::string utf16ToUtf8(ByteSpan text, ByteOrder order) {
    const auto unitAt = [&](std::size_t k) -> char32_t {
        const std::uint8_t a = text[2 * k], b = text[2 * k + 1];
        return order == ByteOrder::Little ? a | (b << 8) : (a << 8) | b;
    };
    std::string out;
    const std::size_t units = text.size() / 2;
    for (std::size_t k = 0; k < units; ++k) {
        const char32_t unit = unitAt(k);
        if (unit == 0)
            break;
        if (unit >= 0xD800 && unit <= 0xDBFF && k + 1 < units) {
            const char32_t next = unitAt(k + 1);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++k;
                continue;
            }
        }
        appendUtf8(out, unit); // a lone surrogate becomes U+FFFD there
    }
    return out;
}

std::string utf8ToUtf8(ByteSpan text) {
    text = untilNul(text);
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const int length = utf8SequenceAt(text, i);
        if (length > 0) {
            out.append(reinterpret_cast<const char*>(text.data() + i), length);
            i += length;
        } else {
            appendUtf8(out, kReplacement);
            ++i;
        }
    }
    return out;
}

Utf8Scan scanUtf8(ByteSpan text) {
    Utf8Scan scan;
    std::size_t i = 0;
    while (i < text.size()) {
        const int length = utf8SequenceAt(text, i);
        if (length <= 0) {
            scan.cutAtEnd = length < 0;
            break;
        }
        scan.multiByte = scan.multiByte || length > 1;
        i += length;
    }
    scan.validLength = i;
    return scan;
}

bool isValidUtf8(ByteSpan text) {
    return scanUtf8(text).validLength == text.size();
}

ByteSpan untilNul(ByteSpan text) {
    const auto nul = std::find(text.begin(), text.end(), std::uint8_t{0});
    return text.first(static_cast<std::size_t>(nul - text.begin()));
}

ByteSpan trimTrailingControls(ByteSpan text) {
    std::size_t end = text.size();
    while (end > 0 && text[end - 1] <= 32)
        --end;
    return text.first(end);
}

ByteSpan trimControls(ByteSpan text) {
    text = trimTrailingControls(text);
    std::size_t begin = 0;
    while (begin < text.size() && text[begin] <= 32)
        ++begin;
    return text.subspan(begin);
}

ByteSpan paddedText(ByteSpan buffer) {
    std::size_t begin = 0;
    while (begin < buffer.size() && buffer[begin] <= 32)
        ++begin;
    return trimTrailingControls(untilNul(buffer.subspan(begin)));
}

std::string_view trimControls(std::string_view text) {
    const ByteSpan trimmed = trimControls(asBytes(text));
    return {reinterpret_cast<const char*>(trimmed.data()), trimmed.size()};
}

std::optional<std::uint32_t> parseDecimal(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::uint32_t trackNumber(std::string_view text) {
    return parseDecimal(text.substr(0, text.find('/'))).value_or(0);
}

std::string_view utf8Prefix(std::string_view text, std::size_t count) {
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        if (!isContinuation(static_cast<std::uint8_t>(text[i]))) {
            if (count == 0)
                break;
            --count;
        }
    }
    return text.substr(0, i);
}

bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    const auto upper = [](char c) {
        return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return upper(x) == upper(y); });
}

} // namespace tags
