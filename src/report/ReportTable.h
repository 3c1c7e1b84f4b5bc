#pragma once
#include <string>
#include <vector>

// A report as rows under named columns, the same for the window's list and the CLI's
// files: aligned text for a terminal, CSV, or a JSON array of objects keyed by column.
struct ReportTable
{
    std::vector<std::string> Columns;
    std::vector<std::vector<std::string>> Rows;
    // Said instead of an empty table ("Nothing changed.").
    std::string Empty;

    void Add(std::vector<std::string> row);
};

enum class ReportFormat { Text, Csv, Json };

// ".csv" and ".json" by the name's end, text otherwise.
ReportFormat ReportFormatFor(const std::string& path);
// "text", "csv", "json"; false for anything else.
bool ParseReportFormat(const std::string& name, ReportFormat& format);

std::string ReportText(const ReportTable& table);
// A header line and one quoted line a row ("" doubles a quote), CR LF as the logs end theirs.
std::string ReportCsv(const ReportTable& table);
std::string ReportJson(const ReportTable& table);
std::string FormatReport(const ReportTable& table, ReportFormat format);

// Replaces path whole; false with the reason.
bool WriteReport(const ReportTable& table, const std::string& path, std::string& error);
