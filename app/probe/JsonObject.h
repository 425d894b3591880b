#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace app {

// One JSON object written member by member, on one line. Texts must be UTF-8.
class JsonObject {
public:
    JsonObject& add(std::string_view key, std::string_view text);
    JsonObject& add(std::string_view key, const char* text) {
        return add(key, std::string_view(text));
    }
    JsonObject& add(std::string_view key, bool value);
    JsonObject& add(std::string_view key, double value);
    JsonObject& add(std::string_view key, std::int64_t value);
    JsonObject& add(std::string_view key, int value) { return add(key, std::int64_t{value}); }
    JsonObject& add(std::string_view key, unsigned value) { return add(key, std::int64_t{value}); }
    JsonObject& add(std::string_view key, const JsonObject& object);
    JsonObject& addNull(std::string_view key);
    // Appends the members of another object.
    JsonObject& append(const JsonObject& other);

    std::string text() const { return "{" + m_members + "}"; }

private:
    JsonObject& raw(std::string_view key, std::string_view json);

    std::string m_members;
};

// The text as a JSON string literal, quotes included.
std::string jsonString(std::string_view utf8);

} // namespace app
