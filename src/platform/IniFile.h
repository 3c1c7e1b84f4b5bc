#pragma once
#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// An INI file held as its lines, so that a save keeps every section, key, comment and
// order it did not change. Section and key names compare without letter case, as in the
// Windows profile functions; the first of duplicated names wins. Reads what the Windows
// writer makes (blanks around "=", comments, a byte order mark, no final line end) and
// writes "key=value" lines ending in CR LF. Sections and keys are indexed, so files of
// 100,000 keys read and write in linear time. One thread at a time.
class IniFile
{
public:
    IniFile() = default;
    // Reads path when it exists; a missing file gives an empty one that saves to path. A
    // file that is there but cannot be read (a pipe, a device, too large) gives an empty
    // one too, and ReadError names it and the reason.
    explicit IniFile(std::string path);
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;
    IniFile(IniFile&&) = default;
    IniFile& operator=(IniFile&&) = default;

    const std::string& FileName() const { return m_path; }
    const std::string& ReadError() const { return m_readError; }
    void Parse(std::string_view text);
    std::string Text() const;
    // Writes the file atomically; on failure error names the file and the reason. A file
    // that could not be read is first kept aside (KeepAside), and warnings, when given,
    // gets a line saying where.
    bool UpdateFile(std::string& error, std::vector<std::string>* warnings = nullptr);

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    // The key names of a section, in file order.
    std::vector<std::string> ReadSection(std::string_view section) const;

    std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
    // A missing, non-numeric or out-of-range value gives the default.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
    int64_t ReadInt64(std::string_view section, std::string_view key, int64_t defaultValue) const;
    double ReadFloat(std::string_view section, std::string_view key, double defaultValue) const;

    // A value keeps to its line: CR and LF in it become blanks.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int64_t value);
    void WriteFloat(std::string_view section, std::string_view key, double value);
    void DeleteKey(std::string_view section, std::string_view key);
    void EraseSection(std::string_view section);

private:
    struct Line
    {
        std::string Text;
        // Key and value of a key line; Key is empty for comments, blanks and other text.
        std::string Key;
        std::string Value;
    };
    struct Section
    {
        std::string Name;
        // The bracketed line as found; empty for the lines ahead of the first section.
        std::string Header;
        std::list<Line> Lines;
        // Lower-case key -> its first line.
        std::unordered_map<std::string, std::list<Line>::iterator> Keys;
    };

    const Section* FindSection(std::string_view name) const;
    Section* FindSection(std::string_view name);
    const Line* FindKey(std::string_view section, std::string_view key) const;
    void IndexSections();

    std::string m_path;
    std::string m_readError;
    std::list<Section> m_sections;
    // Lower-case name -> the first section of that name.
    std::unordered_map<std::string, Section*> m_sectionIndex;
};
