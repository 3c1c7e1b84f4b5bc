#include "report/ReportTable.h"

#include <algorithm>
#include <cctype>

#include "events/EventJson.h"
#include "platform/Files.h"

namespace {

// Display width of UTF-8 text: one column a character.
size_t Width(const std::string& text)
{
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

void AppendCsvField(std::string& out, const std::string& field)
{
    out += '"';
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

}

void ReportTable::Add(std::vector<std::string> row)
{
    row.resize(Columns.size());
    Rows.push_back(std::move(row));
}

ReportFormat ReportFormatFor(const std::string& path)
{
    const auto endsWith = [&](std::string_view end) {
        if (path.size() < end.size())
            return false;
        return std::equal(end.begin(), end.end(), path.end() - static_cast<std::ptrdiff_t>(end.size()),
                          [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
    };
    if (endsWith(".csv"))
        return ReportFormat::Csv;
    if (endsWith(".json"))
        return ReportFormat::Json;
    return ReportFormat::Text;
}

bool ParseReportFormat(const std::string& name, ReportFormat& format)
{
    if (name == "text")
        format = ReportFormat::Text;
    else if (name == "csv")
        format = ReportFormat::Csv;
    else if (name == "json")
        format = ReportFormat::Json;
    else
        return false;
    return true;
}

std::string ReportText(const ReportTable& table)
{
    if (table.Rows.empty())
        return table.Empty.empty() ? std::string() : table.Empty + "\n";
    std::vector<size_t> widths;
    for (const std::string& column : table.Columns)
        widths.push_back(Width(column));
    for (const auto& row : table.Rows)
        for (size_t i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], Width(row[i]));
    std::string out;
    const auto line = [&](const std::vector<std::string>& cells) {
        std::string text;
        for (size_t i = 0; i < widths.size(); ++i) {
            const std::string& cell = i < cells.size() ? cells[i] : std::string();
            text += cell;
            if (i + 1 < widths.size())
                text.append(widths[i] - Width(cell) + 2, ' ');
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        out += text + "\n";
    };
    line(table.Columns);
    for (const auto& row : table.Rows)
        line(row);
    return out;
}

std::string ReportCsv(const ReportTable& table)
{
    std::string out;
    const auto line = [&](const std::vector<std::string>& cells) {
        for (size_t i = 0; i < cells.size(); ++i) {
            if (i > 0)
                out += ',';
            AppendCsvField(out, cells[i]);
        }
        out += "\r\n";
    };
    line(table.Columns);
    for (const auto& row : table.Rows)
        line(row);
    return out;
}

std::string ReportJson(const ReportTable& table)
{
    std::string out = "[";
    for (size_t r = 0; r < table.Rows.size(); ++r) {
        out += r == 0 ? "\n  {" : ",\n  {";
        for (size_t i = 0; i < table.Columns.size(); ++i) {
            if (i > 0)
                out += ", ";
            AppendJsonString(out, table.Columns[i]);
            out += ": ";
            AppendJsonString(out, i < table.Rows[r].size() ? table.Rows[r][i] : std::string());
        }
        out += '}';
    }
    out += table.Rows.empty() ? "]\n" : "\n]\n";
    return out;
}

std::string FormatReport(const ReportTable& table, ReportFormat format)
{
    switch (format) {
    case ReportFormat::Csv: return ReportCsv(table);
    case ReportFormat::Json: return ReportJson(table);
    default: return ReportText(table);
    }
}

bool WriteReport(const ReportTable& table, const std::string& path, std::string& error)
{
    return WriteFileAtomically(path, FormatReport(table, ReportFormatFor(path)), error);
}
