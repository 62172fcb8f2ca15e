#include "app/JsonText.h"

#include <cstdio>

namespace zorvast::app {

namespace {

// The length of the well-formed UTF-8 sequence at `i`, or 0 when the bytes there are not one
// (overlong forms, surrogates and values above U+10FFFF included).
std::size_t utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) {
        return static_cast<unsigned char>(text[k]);
    };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    // Only the second byte has a narrowed range; the rest are plain continuation bytes.
    if (byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) {
            return 0;
        }
    }
    return length;
}

} // namespace

std::string jsonQuoted(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = utf8SequenceLength(text, i);
            if (length == 0) {
                out += "\\ufffd";
                ++i;
            } else {
                out.append(text.substr(i, length));
                i += length;
            }
            continue;
        }
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
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    return out + "\"";
}

JsonObject& JsonObject::member(std::string_view key, std::string_view valueJson) {
    if (body_.size() > 1) {
        body_ += ',';
    }
    body_ += jsonQuoted(key);
    body_ += ':';
    body_ += valueJson;
    return *this;
}

JsonObject& JsonObject::text(std::string_view key, std::string_view value) {
    return member(key, jsonQuoted(value));
}

JsonObject& JsonObject::integer(std::string_view key, long long value) {
    return member(key, std::to_string(value));
}

JsonObject& JsonObject::boolean(std::string_view key, bool value) {
    return member(key, value ? "true" : "false");
}

JsonObject& JsonObject::number(std::string_view key, std::string_view number) {
    return member(key, number);
}

JsonObject& JsonObject::objects(std::string_view key, const std::vector<JsonObject>& items) {
    std::string array = "[";
    for (const JsonObject& item : items) {
        if (array.size() > 1) {
            array += ',';
        }
        array += item.str();
    }
    return member(key, array + "]");
}

} // namespace zorvast::app
