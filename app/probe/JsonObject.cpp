#include "JsonObject.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace app {

std::string jsonString(std::string_view utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

JsonObject& JsonObject::raw(std::string_view key, std::string_view json) {
    if (!m_members.empty())
        m_members += ',';
    m_members += jsonString(key);
    m_members += ':';
    m_members += json;
    return *this;
}

JsonObject& JsonObject::add(std::string_view key, std::string_view text) {
    return raw(key, jsonString(text));
}

JsonObject& JsonObject::add(std::string_view key, bool value) {
    return raw(key, value ? "true" : "false");
}

JsonObject& JsonObject::add(std::string_view key, double value) {
    if (!std::isfinite(value))
        return addNull(key);
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return raw(key, std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
}

JsonObject& JsonObject::add(std::string_view key, std::int64_t value) {
    return raw(key, std::to_string(value));
}

JsonObject& JsonObject::add(std::string_view key, const JsonObject& object) {
    return raw(key, object.text());
}

JsonObject& JsonObject::append(const JsonObject& other) {
    if (!m_members.empty() && !other.m_members.empty())
        m_members += ',';
    m_members += other.m_members;
    return *this;
}

JsonObject& JsonObject::addNull(std::string_view key) {
    return raw(key, "null");
}

} // namespace app
