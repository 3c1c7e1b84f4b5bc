#include "platform/IniFile.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>
#include <iterator>
#include <utility>

#include "platform/Files.h"
#include "platform/Text.h"

namespace {

std::string OneLine(std::string_view text)
{
    std::string line(text);
    std::replace(line.begin(), line.end(), '\r', ' ');
    std::replace(line.begin(), line.end(), '\n', ' ');
    return line;
}

std::string Folded(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

template <typename Number>
bool ParseWhole(std::string_view text, Number& value)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}

IniFile::IniFile(std::string path) : m_path(std::move(path))
{
    std::string text;
    ReadRegularFile(m_path, text, m_readError);
    Parse(text);
}

void IniFile::Parse(std::string_view text)
{
    m_sections.assign(1, Section{});
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        while (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);

        const std::string_view trimmed = Trimmed(raw, " \t");
        if (!trimmed.empty() && trimmed.front() == '[') {
            const auto close = trimmed.find(']');
            const auto name = trimmed.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
            m_sections.push_back(Section{std::string(Trimmed(name, " \t")), std::string(raw), {}, {}});
            continue;
        }
        Line line{std::string(raw), {}, {}};
        const auto equals = trimmed.find('=');
        if (!trimmed.empty() && trimmed.front() != ';' && trimmed.front() != '#' && equals != std::string_view::npos) {
            line.Key = Trimmed(trimmed.substr(0, equals), " \t");
            line.Value = Trimmed(trimmed.substr(equals + 1), " \t");
        }
        Section& section = m_sections.back();
        section.Lines.push_back(std::move(line));
        if (!section.Lines.back().Key.empty())
            section.Keys.emplace(Folded(section.Lines.back().Key), std::prev(section.Lines.end()));
    }
    IndexSections();
}

void IniFile::IndexSections()
{
    m_sectionIndex.clear();
    for (Section& section : m_sections)
        if (!section.Header.empty())
            m_sectionIndex.emplace(Folded(section.Name), &section);
}

std::string IniFile::Text() const
{
    std::string text;
    for (const Section& section : m_sections) {
        if (!section.Header.empty())
            text.append(section.Header).append("\r\n");
        for (const Line& line : section.Lines)
            text.append(line.Text).append("\r\n");
    }
    return text;
}

bool IniFile::UpdateFile(std::string& error, std::vector<std::string>* warnings)
{
    if (m_path.empty()) {
        error = "Cannot write a settings file without a name";
        return false;
    }
    // What could not be read is not ours to overwrite.
    if (std::string keptAs; !m_readError.empty()) {
        if (!KeepAside(m_path, keptAs, error))
            return false;
        if (warnings && !keptAs.empty())
            warnings->push_back(KeptAsideText(m_path, keptAs));
    }
    m_readError.clear();
    return WriteFileAtomically(m_path, Text(), error);
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const
{
    const auto found = m_sectionIndex.find(Folded(name));
    return found == m_sectionIndex.end() ? nullptr : found->second;
}

IniFile::Section* IniFile::FindSection(std::string_view name)
{
    const auto found = m_sectionIndex.find(Folded(name));
    return found == m_sectionIndex.end() ? nullptr : found->second;
}

const IniFile::Line* IniFile::FindKey(std::string_view section, std::string_view key) const
{
    const Section* found = FindSection(section);
    if (!found || key.empty())
        return nullptr;
    const auto line = found->Keys.find(Folded(key));
    return line == found->Keys.end() ? nullptr : &*line->second;
}

bool IniFile::SectionExists(std::string_view section) const
{
    return FindSection(section) != nullptr;
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const
{
    return FindKey(section, key) != nullptr;
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const
{
    std::vector<std::string> keys;
    if (const Section* found = FindSection(section))
        for (const Line& line : found->Lines)
            if (!line.Key.empty())
                keys.push_back(line.Key);
    return keys;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const
{
    const Line* line = FindKey(section, key);
    return std::string(line ? std::string_view(line->Value) : defaultValue);
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const
{
    const Line* line = FindKey(section, key);
    int32_t value = 0;
    return line && ParseWhole(line->Value, value) ? value : defaultValue;
}

int64_t IniFile::ReadInt64(std::string_view section, std::string_view key, int64_t defaultValue) const
{
    const Line* line = FindKey(section, key);
    int64_t value = 0;
    return line && ParseWhole(line->Value, value) ? value : defaultValue;
}

double IniFile::ReadFloat(std::string_view section, std::string_view key, double defaultValue) const
{
    const Line* line = FindKey(section, key);
    if (!line)
        return defaultValue;
    double value = 0;
    if (ParseWhole(line->Value, value) && std::isfinite(value))
        return value;
    // Written where the decimal separator is a comma.
    std::string dotted = line->Value;
    std::replace(dotted.begin(), dotted.end(), ',', '.');
    if (ParseWhole(dotted, value) && std::isfinite(value))
        return value;
    return defaultValue;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string cleanKey = OneLine(Trimmed(key, " \t"));
    if (cleanKey.empty())
        return;
    const std::string cleanValue = OneLine(value);
    Section* found = FindSection(section);
    if (!found) {
        if (m_sections.empty())
            m_sections.emplace_back();
        if (!m_sections.back().Header.empty() || !m_sections.back().Lines.empty())
            if (m_sections.back().Lines.empty() || !Trimmed(m_sections.back().Lines.back().Text, " \t").empty())
                m_sections.back().Lines.push_back({});
        const std::string name = OneLine(Trimmed(section, " \t"));
        m_sections.push_back(Section{name, "[" + name + "]", {}, {}});
        found = &m_sections.back();
        m_sectionIndex.emplace(Folded(name), found);
    }
    std::string folded = Folded(cleanKey);
    if (const auto existing = found->Keys.find(folded); existing != found->Keys.end()) {
        Line& line = *existing->second;
        line.Value = std::string(Trimmed(cleanValue, " \t"));
        line.Text = line.Key + "=" + cleanValue;
        return;
    }
    // A new key goes after the section's last key, ahead of the blanks and comments that
    // end it; those are few, so the walk back is short.
    auto at = found->Lines.end();
    while (at != found->Lines.begin() && std::prev(at)->Key.empty())
        --at;
    const auto inserted =
        found->Lines.insert(at, Line{cleanKey + "=" + cleanValue, cleanKey, std::string(Trimmed(cleanValue, " \t"))});
    found->Keys.emplace(std::move(folded), inserted);
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int64_t value)
{
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteFloat(std::string_view section, std::string_view key, double value)
{
    char text[64];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    WriteString(section, key, error == std::errc() ? std::string_view(text, static_cast<size_t>(end - text)) : "0");
}

void IniFile::DeleteKey(std::string_view section, std::string_view key)
{
    Section* found = FindSection(section);
    if (!found)
        return;
    found->Keys.erase(Folded(key));
    found->Lines.remove_if([key](const Line& line) { return !line.Key.empty() && EqualsIgnoringCase(line.Key, key); });
}

void IniFile::EraseSection(std::string_view section)
{
    if (!FindSection(section))
        return;
    m_sections.remove_if(
        [section](const Section& s) { return !s.Header.empty() && EqualsIgnoringCase(s.Name, section); });
    IndexSections();
}
