// A minimal JSON writer for the command-line tool: one object of texts, numbers and booleans,
// keys in the order they are added, and arrays of such objects.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zorvast::app {

// `text` as a JSON string literal, quotes included. Control characters, '"' and '\' are escaped;
// other UTF-8 stays as it is, and bytes that are not valid UTF-8 become U+FFFD so the result is
// always valid JSON.
std::string jsonQuoted(std::string_view text);

class JsonObject {
public:
    JsonObject& text(std::string_view key, std::string_view value);
    JsonObject& integer(std::string_view key, long long value);
    JsonObject& boolean(std::string_view key, bool value);
    // `number` must already be a JSON number ("181.5", "-1", "1e+06").
    JsonObject& number(std::string_view key, std::string_view number);
    // An array of objects, each already written by a JsonObject.
    JsonObject& objects(std::string_view key, const std::vector<JsonObject>& items);

    // The object on one line, without a line end.
    std::string str() const { return body_ + "}"; }

private:
    JsonObject& member(std::string_view key, std::string_view valueJson);
    std::string body_ = "{";
};

} // namespace zorvast::app
