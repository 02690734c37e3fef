// JSON lines for the e2e driver: building reply objects and splitting command lines.
// Pure C++ (no <windows.h>) so the text handling stays easy to reason about.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sbdriver {

// A command that cannot be carried out; the message (UTF-8) goes back as {"ok":false,"error":...}.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string toUtf8(std::wstring_view text);
std::wstring fromUtf8(std::string_view text);
std::string quote(std::string_view utf8);
std::string quote(std::wstring_view text);

// Members are appended in call order; values are already-encoded JSON.
class JsonObject {
public:
    JsonObject& raw(std::string_view key, std::string_view json);
    JsonObject& text(std::string_view key, std::wstring_view value) { return raw(key, quote(value)); }
    JsonObject& utf8(std::string_view key, std::string_view value) { return raw(key, quote(value)); }
    JsonObject& number(std::string_view key, long long value) { return raw(key, std::to_string(value)); }
    JsonObject& flag(std::string_view key, bool value) { return raw(key, value ? "true" : "false"); }
    JsonObject& null(std::string_view key) { return raw(key, "null"); }
    std::string str() const { return "{" + body_ + "}"; }

private:
    std::string body_;
};

std::string jsonArray(const std::vector<std::string>& items);

// Splits a command line on blanks. A token that starts with '"' is a JSON string literal, so names and
// texts with blanks or control characters can be passed unambiguously.
std::vector<std::wstring> tokenize(std::wstring_view line);

// The rest of the line after `count` leading tokens: a JSON string literal when it starts with '"',
// otherwise the raw text (for hand-typed `type hello world`).
std::wstring restOfLine(std::wstring_view line, size_t count);

}  // namespace sbdriver
