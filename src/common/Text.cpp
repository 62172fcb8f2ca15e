#include "common/Text.h"

#include <cerrno>
#include <iconv.h>

namespace zorvast::common {
namespace {

// One iconv descriptor per thread and direction: iconv_t carries state and must not be shared.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as it can; returns false with errno set at the first problem, leaving
    // `in` at the offending byte.
    bool convert(const char*& in, std::size_t& inLeft, std::string& out) {
        char buffer[4096];
        while (inLeft > 0) {
            char* inPtr = const_cast<char*>(in);
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t rc = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            const int error = errno;
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            in = inPtr;
            if (rc == static_cast<std::size_t>(-1) && error != E2BIG) {
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
                errno = error;
                return false;
            }
        }
        return true;
    }

private:
    iconv_t cd_;
};

Converter& utf8ToGbk() {
    thread_local Converter converter("GBK", "UTF-8");
    return converter;
}

Converter& gbkToUtf8() {
    thread_local Converter converter("UTF-8", "GBK");
    return converter;
}

// Length of the well-formed UTF-8 sequence at `p` (no overlongs, surrogates or values past
// U+10FFFF), 0 when the bytes there are not one.
std::size_t utf8SequenceLength(std::string_view s, std::size_t p) {
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned char>(s[i]);
    };
    const unsigned char b0 = byte(p);
    if (b0 < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        low = b0 == 0xE0 ? 0xA0 : 0x80;
        high = b0 == 0xED ? 0x9F : 0xBF;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        low = b0 == 0xF0 ? 0x90 : 0x80;
        high = b0 == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (p + length > s.size()) {
        return 0;
    }
    if (byte(p + 1) < low || byte(p + 1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(p + i) < 0x80 || byte(p + i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

// The input with every byte that does not belong to a well-formed sequence replaced by '?'.
std::string sanitizedUtf8(std::string_view utf8) {
    std::string clean;
    clean.reserve(utf8.size());
    std::size_t p = 0;
    while (p < utf8.size()) {
        const std::size_t length = utf8SequenceLength(utf8, p);
        if (length == 0) {
            clean += '?';
            ++p;
        } else {
            clean.append(utf8.substr(p, length));
            p += length;
        }
    }
    return clean;
}

bool isGbkTrailByte(unsigned char byte) {
    return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}

// Walking characters from the boundary `begin`: true when `end` is a boundary too, i.e. no
// character straddles it.
bool endsOnBoundary(std::string_view bytes, std::size_t begin, std::size_t end) {
    std::size_t p = begin;
    while (p < end) {
        p += gbkCharacterLength(bytes, p);
    }
    return p == end;
}

} // namespace

Gbk toGbk(std::string_view utf8) {
    const std::string clean = sanitizedUtf8(utf8);
    Gbk result;
    result.bytes.reserve(clean.size());
    Converter& converter = utf8ToGbk();
    if (!converter.valid()) {
        // Without the converter only ASCII survives; the rest is unrepresentable.
        for (std::size_t p = 0; p < clean.size(); p += utf8SequenceLength(clean, p)) {
            const auto b = static_cast<unsigned char>(clean[p]);
            result.bytes += b < 0x80 ? static_cast<char>(b) : '?';
        }
        return result;
    }
    const char* in = clean.data();
    std::size_t inLeft = clean.size();
    while (!converter.convert(in, inLeft, result.bytes)) {
        // The input is well formed, so this is a character GBK has no code for.
        result.bytes += '?';
        const std::size_t offset = static_cast<std::size_t>(in - clean.data());
        const std::size_t length = utf8SequenceLength(clean, offset);
        const std::size_t skip = length == 0 ? 1 : length;
        in += skip;
        inLeft -= skip;
    }
    return result;
}

std::string fromGbk(const Gbk& text) {
    const std::string& bytes = text.bytes;
    std::string result;
    result.reserve(bytes.size() + bytes.size() / 2);
    Converter& converter = gbkToUtf8();
    if (!converter.valid()) {
        for (std::size_t p = 0; p < bytes.size(); p += gbkCharacterLength(bytes, p)) {
            const auto b = static_cast<unsigned char>(bytes[p]);
            result += b < 0x80 ? static_cast<char>(b) : '?';
        }
        return result;
    }
    const char* in = bytes.data();
    std::size_t inLeft = bytes.size();
    while (!converter.convert(in, inLeft, result)) {
        result += '?';
        if (errno == EINVAL) {
            break; // a lead byte cut off at the end
        }
        // A well-shaped pair without a code is skipped whole; a lead byte followed by
        // something that cannot be a trail byte is skipped alone so the next byte survives.
        const auto lead = static_cast<unsigned char>(*in);
        const bool pair =
            isGbkLeadByte(lead) && inLeft >= 2 && isGbkTrailByte(static_cast<unsigned char>(in[1]));
        const std::size_t skip = pair ? 2 : 1;
        in += skip;
        inLeft -= skip;
    }
    return result;
}

bool isGbkLeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

std::size_t gbkCharacterLength(std::string_view gbkBytes, std::size_t position) {
    if (position >= gbkBytes.size()) {
        return 0;
    }
    if (isGbkLeadByte(static_cast<unsigned char>(gbkBytes[position])) &&
        position + 1 < gbkBytes.size()) {
        return 2;
    }
    return 1;
}

std::size_t gbkCharacterLength(const Gbk& text, std::size_t position) {
    return gbkCharacterLength(std::string_view(text.bytes), position);
}

std::size_t gbkCharacterCount(const Gbk& text) {
    std::size_t count = 0;
    for (std::size_t p = 0; p < text.bytes.size(); p += gbkCharacterLength(text, p)) {
        ++count;
    }
    return count;
}

std::size_t gbkByteLength(std::string_view utf8) {
    return toGbk(utf8).bytes.size();
}

Gbk gbkPrefix(const Gbk& text, std::size_t maxBytes) {
    std::size_t end = 0;
    while (end < text.bytes.size()) {
        const std::size_t next = end + gbkCharacterLength(text, end);
        if (next > maxBytes) {
            break;
        }
        end = next;
    }
    return Gbk{text.bytes.substr(0, end)};
}

bool gbkStartsWithCharacter(const Gbk& text, const Gbk& character) {
    const std::size_t length = gbkCharacterLength(text, 0);
    return length > 0 && text.bytes.compare(0, length, character.bytes) == 0;
}

std::vector<Gbk> splitGbkLines(const Gbk& text) {
    return splitGbk(text, Gbk{"\r\n"});
}

std::vector<Gbk> splitGbk(const Gbk& text, const Gbk& separator) {
    const std::string_view bytes = text.bytes;
    const std::string_view sep = separator.bytes;
    if (sep.empty()) {
        return {text};
    }
    std::vector<Gbk> pieces;
    std::size_t pieceStart = 0;
    std::size_t p = 0;
    while (p < bytes.size()) {
        if (bytes.compare(p, sep.size(), sep) == 0 && endsOnBoundary(bytes, p, p + sep.size())) {
            pieces.push_back(Gbk{std::string(bytes.substr(pieceStart, p - pieceStart))});
            p += sep.size();
            pieceStart = p;
        } else {
            p += gbkCharacterLength(bytes, p);
        }
    }
    pieces.push_back(Gbk{std::string(bytes.substr(pieceStart))});
    return pieces;
}

std::string withCrLf(std::string_view utf8) {
    std::string result;
    result.reserve(utf8.size() + utf8.size() / 16);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\n' && (i == 0 || utf8[i - 1] != '\r')) {
            result += '\r';
        }
        result += utf8[i];
    }
    return result;
}

Gbk toGbkWithCrLf(std::string_view utf8) {
    return toGbk(withCrLf(utf8));
}

bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xc2 && lead <= 0xdf) {
            length = 2;
            code = lead & 0x1f;
        } else if (lead >= 0xe0 && lead <= 0xef) {
            length = 3;
            code = lead & 0x0f;
        } else if (lead >= 0xf0 && lead <= 0xf4) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (text.size() - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3f);
        }
        if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) ||
            (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff) {
            return false;
        }
        i += length;
    }
    return true;
}

std::optional<std::string_view> takeKeyedLine(std::string_view& text, std::string_view key) {
    constexpr std::string_view kLineEnd = "\r\n";
    if (!text.starts_with(key)) {
        return std::nullopt;
    }
    const std::size_t end = text.find(kLineEnd);
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view value = text.substr(key.size(), end - key.size());
    text.remove_prefix(end + kLineEnd.size());
    return value;
}

} // namespace zorvast::common
