#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tags::test {

// Builds the bytes of a test file field by field.
class ByteBuilder {
public:
    ByteBuilder& text(std::string_view s) {
        m_bytes.insert(m_bytes.end(), s.begin(), s.end());
        return *this;
    }
    // UTF-16LE code units of an ASCII or UTF-16 text, no terminator.
    ByteBuilder& utf16(std::u16string_view s) {
        for (char16_t c : s)
            le16(c);
        return *this;
    }
    ByteBuilder& u8(std::uint8_t v) {
        m_bytes.push_back(v);
        return *this;
    }
    ByteBuilder& le16(std::uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
    ByteBuilder& le32(std::uint32_t v) { return le16(v & 0xFFFF).le16(v >> 16); }
    ByteBuilder& le64(std::uint64_t v) { return le32(v & 0xFFFFFFFF).le32(v >> 32); }
    ByteBuilder& be32(std::uint32_t v) {
        return u8(v >> 24).u8((v >> 16) & 0xFF).u8((v >> 8) & 0xFF).u8(v & 0xFF);
    }
    ByteBuilder& bytes(const std::vector<std::uint8_t>& b) {
        m_bytes.insert(m_bytes.end(), b.begin(), b.end());
        return *this;
    }
    ByteBuilder& fill(std::size_t count, std::uint8_t v = 0) {
        m_bytes.insert(m_bytes.end(), count, v);
        return *this;
    }
    // Overwrites bytes at an offset already written.
    ByteBuilder& putLe32At(std::size_t at, std::uint32_t v) {
        for (int k = 0; k < 4; ++k)
            m_bytes.at(at + k) = static_cast<std::uint8_t>(v >> (8 * k));
        return *this;
    }

    std::size_t size() const { return m_bytes.size(); }
    const std::vector<std::uint8_t>& data() const { return m_bytes; }
    operator const std::vector<std::uint8_t>&() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

} // namespace tags::test
