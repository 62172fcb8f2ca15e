// GBK at the program's boundaries. Inside, texts are UTF-8 std::string; GBK bytes travel in
// their own type so the two cannot be mixed by accident.
//
// Character walking (used by every Gbk helper below): a byte 0x81..0xFE starts a two-byte
// character when a second byte follows it; any other byte, and a lead byte at the very end, is a
// one-byte character. Valid GBK always splits this way; for damaged bytes the rule stays simple
// and predictable (a lead byte takes whatever byte follows).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvast::common {

struct Gbk {
    std::string bytes;

    bool empty() const { return bytes.empty(); }
    std::size_t size() const { return bytes.size(); }
    friend bool operator==(const Gbk&, const Gbk&) = default;
};

// UTF-8 -> GBK. Characters GBK cannot hold and bytes that are not valid UTF-8 become '?'.
// glibc's GBK maps the euro sign to the single byte 0x80, as code page 936 does.
Gbk toGbk(std::string_view utf8);

// GBK -> UTF-8. An invalid or truncated sequence becomes '?' and decoding goes on after it; a
// lead byte followed by a byte that can never trail (CR, LF, digits...) loses only itself.
std::string fromGbk(const Gbk& text);

bool isGbkLeadByte(unsigned char byte);

// Bytes in the character that starts at `position`: 2 or 1, 0 at or past the end.
std::size_t gbkCharacterLength(std::string_view gbkBytes, std::size_t position);
std::size_t gbkCharacterLength(const Gbk& text, std::size_t position);

// Number of characters in the text.
std::size_t gbkCharacterCount(const Gbk& text);

// Length in GBK bytes of a UTF-8 text (a Chinese character counts two, a '?' replacement one).
std::size_t gbkByteLength(std::string_view utf8);

// The longest prefix of at most `maxBytes` bytes that does not cut a character.
Gbk gbkPrefix(const Gbk& text, std::size_t maxBytes);

// True when the first character of `text` is exactly `character` (false for an empty text).
bool gbkStartsWithCharacter(const Gbk& text, const Gbk& character);

// Pieces between CR LF pairs found on character boundaries. The piece after the last CR LF is
// kept even when empty, so "a\r\nb\r\n" gives {"a", "b", ""} and "" gives {""}; callers that
// read line lists drop a trailing empty piece themselves.
std::vector<Gbk> splitGbkLines(const Gbk& text);

// Pieces between occurrences of `separator` that start and end on character boundaries; empty
// pieces are kept ("a，，b" gives {"a", "", "b"}). An empty separator gives the whole text.
std::vector<Gbk> splitGbk(const Gbk& text, const Gbk& separator);

// UTF-8 conveniences.
// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text);

// The value of the line `key`...CR LF at the start of `text`, with that line taken off; nullopt
// (and `text` untouched) when the text does not start with the key or the line has no CR LF.
std::optional<std::string_view> takeKeyedLine(std::string_view& text, std::string_view key);

// Every LF not already preceded by CR becomes CR LF.
std::string withCrLf(std::string_view utf8);

// UTF-8 text with CR LF line ends, as GBK bytes: what written files and exports contain.
Gbk toGbkWithCrLf(std::string_view utf8);

} // namespace zorvast::common
