// Runs the built zorvast-cli as a separate process and reads what it prints: the shared part of
// the command-line tests.
#pragma once

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <optional>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace zorvast::testing::cli {

inline const std::string kCli = ZORVAST_CLI;
inline const std::string kPackage = ZORVAST_PACKAGE;

// ---------------------------------------------------------------------------------------------
// Running the program.

struct Outcome {
    int status = -1; // exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

struct RunSetting {
    std::string program = kCli;
    std::string tmpdir;    // TMPDIR for the program; empty keeps the test's own
    std::string directory; // current folder for the program; empty keeps the test's own
};

inline std::string joined(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& a : args) {
        text += (text.empty() ? "" : " ") + a;
    }
    return text;
}

inline Outcome runProgram(const std::vector<std::string>& args, const RunSetting& setting = {}) {
    TempFolder io;
    const std::string outPath = io.file("stdout");
    const std::string errPath = io.file("stderr");

    std::vector<std::string> words{setting.program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);

    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        if (setting.tmpdir.empty() || std::strncmp(*e, "TMPDIR=", 7) != 0) {
            environment.emplace_back(*e);
        }
    }
    if (!setting.tmpdir.empty()) {
        environment.push_back("TMPDIR=" + setting.tmpdir);
    }
    std::vector<char*> envp;
    for (std::string& e : environment) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    if (!setting.directory.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, setting.directory.c_str());
    }
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, setting.program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    Outcome run;
    if (spawned != 0) {
        run.err = "posix_spawn failed: " + std::string(std::strerror(spawned));
        return run;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        run.status = WEXITSTATUS(status);
    }
    run.out = readAll(outPath);
    run.err = readAll(errPath);
    return run;
}

// `command` with the built data package unless the arguments name one. The package comes first
// so that the case's own last word stays last.
inline Outcome runWithPackage(const std::string& command, const std::vector<std::string>& args,
                              const RunSetting& setting = {}) {
    std::vector<std::string> words{command};
    bool hasPackage = false;
    for (const std::string& a : args) {
        hasPackage = hasPackage || a == "--package";
    }
    if (!hasPackage) {
        words.push_back("--package");
        words.push_back(kPackage);
    }
    words.insert(words.end(), args.begin(), args.end());
    return runProgram(words, setting);
}

inline std::string described(const Outcome& run) {
    return "exit " + std::to_string(run.status) + "\n--- stdout:\n" + run.out + "\n--- stderr:\n" +
           run.err;
}

// ---------------------------------------------------------------------------------------------
// A small strict JSON reader: enough to check that the output is one well-formed object and to
// read its members. Nested objects and arrays are checked but not kept.

struct JsonValue {
    enum class Kind { String, Number, Literal, Nested } kind = Kind::Literal;
    std::string text; // the decoded string, or the number's token
};

class JsonReader {
public:
    explicit JsonReader(std::string_view text) : text_(text) {}

    // The members of the object that is the whole text (blanks and one line end around it
    // allowed); nothing, with error() set, when the text is anything else.
    std::optional<std::map<std::string, JsonValue>> topObject() {
        std::map<std::string, JsonValue> members;
        blanks();
        if (!object(&members)) {
            return std::nullopt;
        }
        blanks();
        if (pos_ != text_.size()) {
            return failed("text after the object");
        }
        return members;
    }

    const std::string& error() const { return error_; }

private:
    std::nullopt_t failed(const std::string& why) {
        if (error_.empty()) {
            error_ = why + " at byte " + std::to_string(pos_);
        }
        return std::nullopt;
    }
    bool fail(const std::string& why) {
        failed(why);
        return false;
    }
    void blanks() {
        while (pos_ < text_.size() && std::strchr(" \t\r\n", text_[pos_]) != nullptr) {
            ++pos_;
        }
    }
    bool take(char c) {
        blanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    bool object(std::map<std::string, JsonValue>* members) {
        if (!take('{')) {
            return fail("expected {");
        }
        if (take('}')) {
            return true;
        }
        do {
            blanks();
            std::string key;
            if (!string(&key)) {
                return false;
            }
            if (!take(':')) {
                return fail("expected :");
            }
            JsonValue v;
            if (!value(&v)) {
                return false;
            }
            if (members && !members->emplace(key, v).second) {
                return fail("duplicate key " + key);
            }
        } while (take(','));
        return take('}') || fail("expected , or }");
    }

    bool value(JsonValue* v) {
        blanks();
        if (pos_ >= text_.size()) {
            return fail("value expected");
        }
        const char c = text_[pos_];
        if (c == '"') {
            v->kind = JsonValue::Kind::String;
            return string(&v->text);
        }
        if (c == '{') {
            v->kind = JsonValue::Kind::Nested;
            return object(nullptr);
        }
        if (c == '[') {
            v->kind = JsonValue::Kind::Nested;
            ++pos_;
            if (take(']')) {
                return true;
            }
            do {
                JsonValue item;
                if (!value(&item)) {
                    return false;
                }
            } while (take(','));
            return take(']') || fail("expected , or ]");
        }
        for (std::string_view literal : {"true", "false", "null"}) {
            if (text_.substr(pos_, literal.size()) == literal) {
                pos_ += literal.size();
                v->kind = JsonValue::Kind::Literal;
                v->text = literal;
                return true;
            }
        }
        v->kind = JsonValue::Kind::Number;
        return number(&v->text);
    }

    bool digits() {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            ++pos_;
        }
        return pos_ > start;
    }

    bool number(std::string* token) {
        const std::size_t start = pos_;
        if (pos_ < text_.size() && text_[pos_] == '-') {
            ++pos_;
        }
        if (pos_ < text_.size() && text_[pos_] == '0') {
            ++pos_;
        } else if (!digits()) {
            return fail("bad number");
        }
        if (pos_ < text_.size() && text_[pos_] == '.') {
            ++pos_;
            if (!digits()) {
                return fail("bad fraction");
            }
        }
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) {
                ++pos_;
            }
            if (!digits()) {
                return fail("bad exponent");
            }
        }
        *token = std::string(text_.substr(start, pos_ - start));
        return true;
    }

    bool hex4(unsigned* code) {
        if (pos_ + 4 > text_.size()) {
            return fail("short \\u escape");
        }
        *code = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = text_[pos_++];
            *code <<= 4;
            if (h >= '0' && h <= '9') {
                *code |= static_cast<unsigned>(h - '0');
            } else if (h >= 'a' && h <= 'f') {
                *code |= static_cast<unsigned>(h - 'a' + 10);
            } else if (h >= 'A' && h <= 'F') {
                *code |= static_cast<unsigned>(h - 'A' + 10);
            } else {
                return fail("bad \\u escape");
            }
        }
        return true;
    }

    static void appendUtf8(std::string* out, unsigned code) {
        if (code < 0x80) {
            *out += static_cast<char>(code);
        } else if (code < 0x800) {
            *out += static_cast<char>(0xC0 | (code >> 6));
            *out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            *out += static_cast<char>(0xE0 | (code >> 12));
            *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            *out += static_cast<char>(0xF0 | (code >> 18));
            *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool string(std::string* out) {
        if (pos_ >= text_.size() || text_[pos_] != '"') {
            return fail("expected a string");
        }
        ++pos_;
        while (pos_ < text_.size()) {
            const auto c = static_cast<unsigned char>(text_[pos_++]);
            if (c == '"') {
                return true;
            }
            if (c < 0x20) {
                return fail("raw control character in a string");
            }
            if (c != '\\') {
                *out += static_cast<char>(c);
                continue;
            }
            if (pos_ >= text_.size()) {
                break;
            }
            const char e = text_[pos_++];
            const char* simple = std::strchr("\"\\/bfnrt", e);
            if (simple != nullptr && e != '\0') {
                *out += "\"\\/\b\f\n\r\t"[simple - "\"\\/bfnrt"];
                continue;
            }
            if (e != 'u') {
                return fail("bad escape");
            }
            unsigned code = 0;
            if (!hex4(&code)) {
                return false;
            }
            if (code >= 0xD800 && code <= 0xDBFF) {
                unsigned low = 0;
                if (text_.substr(pos_, 2) != "\\u" || (pos_ += 2, !hex4(&low)) || low < 0xDC00 ||
                    low > 0xDFFF) {
                    return fail("lone surrogate");
                }
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            } else if (code >= 0xDC00 && code <= 0xDFFF) {
                return fail("lone surrogate");
            }
            appendUtf8(out, code);
        }
        return fail("unterminated string");
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::string error_;
};

using JsonMembers = std::map<std::string, JsonValue>;

// The members of a run's JSON output; a test failure when the output is not one object + "\n".
inline std::optional<JsonMembers> jsonOf(const Outcome& run) {
    if (run.out.empty() || run.out.back() != '\n' || run.out.find('\n') != run.out.size() - 1) {
        ADD_FAILURE() << "JSON output is not exactly one line\n" << described(run);
        return std::nullopt;
    }
    JsonReader reader(run.out);
    std::optional<JsonMembers> members = reader.topObject();
    if (!members) {
        ADD_FAILURE() << "output is not a JSON object: " << reader.error() << "\n"
                      << described(run);
    }
    return members;
}

inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

inline std::string withoutCr(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            out += text[i];
        }
    }
    return out;
}

// A refused call (`call` describes it): exit status 2, nothing on standard output and
// `stderrPart` in the reason; with `oneLine` the reason is one line ending in a line break.
inline void expectRefused(const std::string& call, const Outcome& run,
                          const std::string& stderrPart, bool oneLine) {
    EXPECT_EQ(run.status, 2) << call;
    EXPECT_EQ(run.out, "") << call;
    EXPECT_NE(run.err.find(stderrPart), std::string::npos)
        << call << "\nexpected stderr to contain: " << stderrPart;
    if (oneLine) {
        EXPECT_EQ(linesOf(run.err).size(), 1u) << call;
        EXPECT_TRUE(!run.err.empty() && run.err.back() == '\n') << call;
    }
}

} // namespace zorvast::testing::cli
