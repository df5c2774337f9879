#include "libs/lumodialog/widgets/LutCsv.h"

#include <charconv>
#include <cstdio>

namespace lumodialog {

namespace {

constexpr std::string_view HEADER = "input,red,green,blue";
constexpr std::array<std::string_view, 4> HEADER_FIELDS = {"input", "red", "green", "blue"};
constexpr size_t MAX_FIELDS = 4;
constexpr size_t SHOWN_TEXT = 24; // characters of a bad field quoted in a message

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::string LineMessage(size_t line, std::string_view what) {
    return "line " + std::to_string(line) + ": " + std::string(what);
}

// One line's fields split at commas; more than MAX_FIELDS counts as MAX_FIELDS + 1.
struct Fields {
    std::array<std::string_view, MAX_FIELDS> text{};
    size_t count = 0;
};

Fields Split(std::string_view line) {
    Fields fields;
    while (fields.count <= MAX_FIELDS) {
        const size_t comma = line.find(',');
        if (fields.count < MAX_FIELDS)
            fields.text[fields.count] = Trim(line.substr(0, comma));
        ++fields.count;
        if (comma == std::string_view::npos)
            break;
        line.remove_prefix(comma + 1);
    }
    return fields;
}

bool ParseValue(std::string_view field, size_t line, int64_t high, int64_t& value,
                std::string& error) {
    const char* end = field.data() + field.size();
    const auto [ptr, ec] = std::from_chars(field.data(), end, value);
    if (field.empty() || ec == std::errc::invalid_argument || ptr != end) {
        const std::string shown(field.substr(0, SHOWN_TEXT));
        error = LineMessage(line, "'" + shown + "' is not a whole number");
        return false;
    }
    if (ec == std::errc::result_out_of_range || value < 0 || value > high) {
        error = LineMessage(line,
                            "value " + std::string(field.substr(0, SHOWN_TEXT)) + " out of range");
        return false;
    }
    return true;
}

// One table line: 1 value (all channels), 3 values (red, green, blue) or 4 (the input first).
bool ParseRow(std::string_view text, size_t line, size_t row, LutChannels& table,
              std::string& error) {
    const Fields fields = Split(text);
    if (fields.count != 1 && fields.count != 3 && fields.count != 4) {
        error = LineMessage(line, "expected 1, 3 or 4 values (input,red,green,blue), found " +
                                      std::to_string(fields.count) +
                                      (fields.count > MAX_FIELDS ? " or more" : ""));
        return false;
    }
    size_t first = 0;
    if (fields.count == 4) {
        int64_t input = 0;
        if (!ParseValue(fields.text[0], line, int64_t(LUT_POINTS - 1), input, error))
            return false;
        if (size_t(input) != row) {
            error = LineMessage(line, "input " + std::to_string(input) + " where " +
                                          std::to_string(row) + " was expected");
            return false;
        }
        first = 1;
    }
    std::array<int64_t, 3> values{};
    for (size_t c = 0; c < fields.count - first; ++c)
        if (!ParseValue(fields.text[first + c], line, 65535, values[c], error))
            return false;
    for (size_t c = 0; c < 3; ++c)
        table[c * LUT_POINTS + row] = uint16_t(fields.count == 1 ? values[0] : values[c]);
    return true;
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

// The header, any letter case, spaces after the commas allowed.
bool IsHeader(std::string_view line) {
    const Fields fields = Split(line);
    if (fields.count != HEADER_FIELDS.size())
        return false;
    for (size_t i = 0; i < HEADER_FIELDS.size(); ++i)
        if (!SameLetters(fields.text[i], HEADER_FIELDS[i]))
            return false;
    return true;
}

} // namespace

std::string ExportLutCsv(const LutChannels& table) {
    std::string text(HEADER);
    text += '\n';
    char line[64];
    for (size_t i = 0; i < LUT_POINTS; ++i) {
        std::snprintf(line, sizeof line, "%zu,%u,%u,%u\n", i, unsigned(table[i]),
                      unsigned(table[LUT_POINTS + i]), unsigned(table[2 * LUT_POINTS + i]));
        text += line;
    }
    return text;
}

bool ImportLutCsv(std::string_view text, LutChannels& table, std::string& error) {
    if (text.size() > LUT_CSV_MAX_BYTES) {
        error = "the file is larger than a table file can be";
        return false;
    }
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    LutChannels read{};
    size_t row = 0;
    size_t line = 0;
    size_t lastRowLine = 0;
    bool headerSeen = false;
    // Each pass takes one line off the text, so the loop ends after at most size + 1 passes.
    while (!text.empty()) {
        ++line;
        const size_t newline = text.find('\n');
        const std::string_view current = Trim(text.substr(0, newline));
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        if (current.empty()) {
            if (row == 0 || row == LUT_POINTS)
                continue; // blank lines before the table and after it
            error = LineMessage(line, "empty line inside the table");
            return false;
        }
        if (row == 0 && !headerSeen && IsHeader(current)) {
            headerSeen = true;
            continue;
        }
        if (row == LUT_POINTS) {
            error = LineMessage(line, "more than 256 table lines");
            return false;
        }
        if (!ParseRow(current, line, row, read, error))
            return false;
        ++row;
        lastRowLine = line;
    }
    if (row != LUT_POINTS) {
        error = row == 0 ? std::string("no table lines: 256 expected")
                         : LineMessage(lastRowLine, "the table ends after " + std::to_string(row) +
                                                        " lines; 256 expected");
        return false;
    }
    table = read;
    return true;
}

} // namespace lumodialog
