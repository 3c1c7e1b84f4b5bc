#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// One JSON object built in place, keys in the order they are written. Hand-built rather
// than through a JSON library: a busy site makes tens of thousands of events a second and
// each would otherwise allocate a tree.
class JsonObject
{
public:
    explicit JsonObject(std::string& out) : m_out(out) { m_out += '{'; }

    JsonObject& Int(std::string_view key, int64_t value);
    JsonObject& Text(std::string_view key, std::string_view value);
    JsonObject& Bool(std::string_view key, bool value);
    JsonObject& Null(std::string_view key);
    // A value already in JSON (an array or object built with the same helpers).
    JsonObject& Raw(std::string_view key, std::string_view json);
    void End() { m_out += '}'; }

private:
    void Key(std::string_view key);
    std::string& m_out;
    bool m_first = true;
};

// A JSON string of text: quotes, backslashes and control characters escaped, bytes that
// are not UTF-8 (a hand-edited file, an 8-bit name) replaced by U+FFFD.
void AppendJsonString(std::string& out, std::string_view text);

// "2023-11-14T22:13:20Z".
std::string IsoTime(int64_t epochSeconds);

// A frequency in MHz as whole hertz.
int64_t Hertz(double megahertz);

// "%02d-%04d" of a channel: identifier table, then channel number.
std::string ChannelName(int channel);
