#include "session/CaptureFormat.h"

#include <charconv>
#include <cmath>
#include <map>

namespace quillon {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

struct DirectionName {
    CaptureDirection direction;
    std::string_view name;
};

constexpr DirectionName kDirectionNames[] = {
    {CaptureDirection::Received, "rx"},
    {CaptureDirection::Sent, "tx"},
};

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A flat JSON object whose values are strings without escapes, or numbers (kept as their text).
class FlatObject {
public:
    explicit FlatObject(std::string_view text) : m_text(text) {}

    bool Parse(std::map<std::string, std::string_view>& members, std::string& error) {
        if (!Expect('{', error)) return false;
        SkipBlanks();
        if (Peek() == '}') return Close(error);
        for (;;) {
            std::string_view key;
            std::string_view value;
            if (!String(key, error) || !Expect(':', error) || !Value(value, error)) return false;
            if (!members.emplace(std::string(key), value).second) {
                error = "\"" + std::string(key) + "\" is given twice";
                return false;
            }
            SkipBlanks();
            if (Peek() == '}') return Close(error);
            if (!Expect(',', error)) return false;
        }
    }

private:
    char Peek() const { return m_pos < m_text.size() ? m_text[m_pos] : '\0'; }

    void SkipBlanks() {
        while (m_pos < m_text.size() &&
               std::string_view(" \t\r\n").find(m_text[m_pos]) != std::string_view::npos)
            ++m_pos;
    }

    bool Unexpected(std::string_view wanted, std::string& error) const {
        const std::string found =
            m_pos < m_text.size() ? "'" + std::string(1, m_text[m_pos]) + "'" : "the end";
        error = std::string(wanted) + " expected at column " + std::to_string(m_pos + 1) + ", not " + found;
        return false;
    }

    bool Expect(char c, std::string& error) {
        SkipBlanks();
        if (Peek() != c) return Unexpected("'" + std::string(1, c) + "'", error);
        ++m_pos;
        return true;
    }

    bool Close(std::string& error) {
        ++m_pos;
        SkipBlanks();
        return m_pos == m_text.size() || Unexpected("the end of the line", error);
    }

    // A string's text with its quotes, so that a value tells a string from a number.
    bool Quoted(std::string_view& out, std::string& error) {
        SkipBlanks();
        if (Peek() != '"') return Unexpected("a string", error);
        const std::size_t end = m_text.find_first_of("\"\\", m_pos + 1);
        if (end == std::string_view::npos || m_text[end] == '\\') {
            m_pos = end == std::string_view::npos ? m_text.size() : end;
            return Unexpected("the end of the string", error);
        }
        out = m_text.substr(m_pos, end + 1 - m_pos);
        m_pos = end + 1;
        return true;
    }

    bool String(std::string_view& out, std::string& error) {
        if (!Quoted(out, error)) return false;
        out = out.substr(1, out.size() - 2);
        return true;
    }

    bool Value(std::string_view& out, std::string& error) {
        SkipBlanks();
        if (Peek() == '"') return Quoted(out, error);
        const std::size_t end = m_text.find_first_not_of("+-.0123456789eE", m_pos);
        out = m_text.substr(m_pos, end == std::string_view::npos ? std::string_view::npos : end - m_pos);
        if (out.empty()) return Unexpected("a string or a number", error);
        m_pos += out.size();
        return true;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

bool IsString(std::string_view value) {
    return !value.empty() && value.front() == '"';
}

std::optional<std::string_view> Member(const std::map<std::string, std::string_view>& members,
                                       const std::string& key, std::string& error) {
    const auto it = members.find(key);
    if (it != members.end()) return it->second;
    error = "no \"" + key + "\"";
    return std::nullopt;
}

}  // namespace

std::string CaptureLine(double seconds, CaptureDirection direction, std::span<const Byte> bytes) {
    char time[32];
    const auto [end, ec] =
        std::to_chars(std::begin(time), std::end(time), seconds, std::chars_format::fixed, 6);
    std::string line = "{\"t\":";
    line.append(time, ec == std::errc{} ? end : time);
    line += ",\"dir\":\"";
    for (const DirectionName& entry : kDirectionNames) {
        if (entry.direction == direction) line += entry.name;
    }
    line += "\",\"hex\":\"";
    for (Byte b : bytes) {
        line += kDigits[b >> 4];
        line += kDigits[b & 0x0F];
    }
    line += "\"}\n";
    return line;
}

std::optional<CaptureChunk> ParseCaptureLine(std::string_view line, std::string& error) {
    std::map<std::string, std::string_view> members;
    if (!FlatObject(line).Parse(members, error)) return std::nullopt;
    const auto time = Member(members, "t", error);
    if (!time) return std::nullopt;
    const auto dir = Member(members, "dir", error);
    if (!dir) return std::nullopt;
    const auto hex = Member(members, "hex", error);
    if (!hex) return std::nullopt;

    CaptureChunk chunk;
    const char* timeEnd = time->data() + time->size();
    const auto [ptr, ec] = std::from_chars(time->data(), timeEnd, chunk.seconds);
    if (IsString(*time) || ec != std::errc{} || ptr != timeEnd || !std::isfinite(chunk.seconds) ||
        chunk.seconds < 0) {
        error = "\"t\" is " + std::string(*time) + ", not a number of seconds from 0";
        return std::nullopt;
    }
    const DirectionName* pDirection = nullptr;
    for (const DirectionName& entry : kDirectionNames) {
        if ("\"" + std::string(entry.name) + "\"" == *dir) pDirection = &entry;
    }
    if (!pDirection) {
        error = "\"dir\" is " + std::string(*dir) + ", not \"rx\" or \"tx\"";
        return std::nullopt;
    }
    chunk.direction = pDirection->direction;
    if (!IsString(*hex)) {
        error = "\"hex\" is not a string";
        return std::nullopt;
    }
    const std::string_view digits = hex->substr(1, hex->size() - 2);
    if (digits.size() % 2 != 0) {
        error = "\"hex\" has an odd number of digits";
        return std::nullopt;
    }
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int high = HexValue(digits[i]);
        const int low = HexValue(digits[i + 1]);
        if (high < 0 || low < 0) {
            error = "\"hex\" holds '" + std::string(1, digits[high < 0 ? i : i + 1]) + "', not a hex digit";
            return std::nullopt;
        }
        chunk.bytes.push_back(static_cast<Byte>(high << 4 | low));
    }
    return chunk;
}

std::optional<std::vector<CaptureChunk>> ParseCapture(std::string_view text, std::string& error) {
    std::vector<CaptureChunk> chunks;
    std::size_t nLine = 0;
    while (!text.empty()) {
        ++nLine;
        const std::size_t newline = text.find('\n');
        const std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
        if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
        std::string why;
        std::optional<CaptureChunk> chunk = ParseCaptureLine(line, why);
        if (chunk && !chunks.empty() && chunk->seconds < chunks.back().seconds)
            why = "its time goes back before the line above";
        if (!why.empty()) {
            error = "line " + std::to_string(nLine) + ": " + why;
            return std::nullopt;
        }
        chunks.push_back(std::move(*chunk));
    }
    return chunks;
}

}  // namespace quillon
