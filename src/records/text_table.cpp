#include "text_table.h"

#include <algorithm>
#include <cstdio>

namespace qvlink::records {

std::string Shown(const std::string& text) {
    std::string shown;
    char escape[8];
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            shown += escape;
        } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", next);
            shown += escape;
            ++i;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}

namespace {

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

}  // namespace

std::string Table(const std::vector<std::vector<std::string>>& rows, std::size_t firstNumber,
                  bool csv) {
    std::string out;
    if (csv) {
        for (const auto& row : rows) {
            for (std::size_t i = 0; i < row.size(); ++i) {
                if (i) out += ',';  // not "," + text: GCC 12 at -O3 warns of an overlap
                out += CsvField(row[i]);
            }
            out += "\n";
        }
        return out;
    }
    const auto width = [](const std::string& text) {
        return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }));
    };
    std::vector<std::size_t> widths;
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (widths.size() <= i) widths.push_back(0);
            widths[i] = std::max(widths[i], width(row[i]));
        }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            const std::string pad(widths[i] - width(row[i]), ' ');
            if (i) line += "  ";
            line += i >= firstNumber ? pad + row[i] : row[i] + pad;
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    return out;
}

}  // namespace qvlink::records
