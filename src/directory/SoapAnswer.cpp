#include "directory/SoapAnswer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <numeric>
#include <optional>
#include <pugixml.hpp>
#include <span>
#include <unordered_map>
#include <unordered_set>

#include "directory/SoapEnvelope.h"
#include "model/Records.h"

// Every value of a result in one array, with the members and texts of all of them in shared
// arrays beside it: a value costs a few dozen bytes once, however often it is referred to.
class SoapValue
{
public:
    using Id = uint32_t;
    static constexpr Id NoValue = std::numeric_limits<Id>::max();

    struct Member
    {
        uint32_t Name;
        Id Value;
    };

    struct Value
    {
        uint32_t FirstMember = 0;
        uint32_t MemberCount = 0;
        uint32_t TextBegin = 0;
        uint32_t TextSize = 0;
        // Where the positions of its members ordered by name, then position, begin in
        // NameIndex; only a compound with many members has them.
        uint32_t IndexBegin = NoValue;
        // Levels of values below this one.
        int Height = 0;
        bool Nil = false;
    };

    bool IsNil(Id v) const { return Values[v].Nil; }
    bool IsCompound(Id v) const { return Values[v].MemberCount != 0; }
    std::string_view Text(Id v) const { return std::string_view(Texts).substr(Values[v].TextBegin, Values[v].TextSize); }
    std::span<const Member> MembersOf(Id v) const
    {
        return {Members.data() + Values[v].FirstMember, Values[v].MemberCount};
    }

    // The first member of record called name, or NoValue.
    Id Field(Id record, std::string_view name) const
    {
        const auto known = NameIds.find(name);
        if (known == NameIds.end())
            return NoValue;
        const uint32_t wanted = known->second;
        const std::span<const Member> members = MembersOf(record);
        const Value& value = Values[record];
        if (value.IndexBegin == NoValue) {
            for (const Member& m : members)
                if (m.Name == wanted)
                    return m.Value;
            return NoValue;
        }
        const auto begin = NameIndex.begin() + value.IndexBegin;
        const auto end = begin + value.MemberCount;
        const auto found = std::lower_bound(begin, end, wanted,
                                            [&members](uint32_t at, uint32_t name) { return members[at].Name < name; });
        return found != end && members[*found].Name == wanted ? members[*found].Value : NoValue;
    }

    Id Root = NoValue;
    std::vector<Value> Values;
    std::vector<Member> Members;
    std::vector<uint32_t> NameIndex;
    std::string Texts;
    std::map<std::string, uint32_t, std::less<>> NameIds;
};

namespace {

using Id = SoapValue::Id;
constexpr Id NoValue = SoapValue::NoValue;

// Real answers nest about eight levels below "return"; references count as a level.
constexpr int MaxDepth = 32;
// A value quoted in a conversion error is cut to this many bytes.
constexpr size_t MaxQuotedValue = 40;
constexpr std::string_view XmlBlanks = " \t\r\n";
// A compound with this many members gets a name index; smaller ones are searched in order.
constexpr size_t IndexedMembers = 16;
// The positions in a result are 32 bits.
constexpr size_t MaxAnswerBytes = size_t{1} << 31;
// The clock is read once per this many nodes, or items of the result.
constexpr unsigned NodesPerClockRead = 256;
constexpr unsigned ItemsPerClockRead = 16;
// Records may copy twice the answer's size, and a little more, from shared values.
constexpr size_t CopiesPerAnswerByte = 2;
constexpr size_t CopyAllowance = size_t{1} << 20;
constexpr char ReadingAnswer[] = "reading the server's answer";

std::string_view LocalName(std::string_view name)
{
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view LocalName(const pugi::xml_node& node)
{
    return LocalName(node.name());
}

pugi::xml_node Child(const pugi::xml_node& node, std::string_view localName)
{
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element && LocalName(child) == localName)
            return child;
    return {};
}

// The character data of an element: the first piece is kept in the element itself
// (parse_embed_pcdata), the others as children.
template <typename Append> void OwnText(const pugi::xml_node& node, Append&& append)
{
    append(node.value());
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            append(child.value());
}

// xsi:nil, or xsi:null of the 1999 schema that older toolkits write.
bool IsNil(const pugi::xml_node& node)
{
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        const std::string_view name = LocalName(a.name());
        const std::string_view value = a.value();
        if ((name == "nil" || name == "null") && (value == "true" || value == "1"))
            return true;
    }
    return false;
}

bool Fail(DirectoryError& error, DirectoryErrorKind kind, std::string text)
{
    error = {kind, std::move(text)};
    return false;
}

// Decodes values below "return" into out, resolving href="#id" against every element that
// carries an id, wherever it stands (inline or in a multiRef element beside the result).
class Decoder
{
public:
    Decoder(SoapValue& out, DirectoryError& error, const Deadline& deadline)
        : m_out(out), m_error(error), m_deadline(deadline)
    {
    }

    bool IndexIds(const pugi::xml_node& root)
    {
        size_t elements = 0;
        // Iterative walk: the document's nesting is not bounded yet.
        for (pugi::xml_node node = root; node;) {
            if (IsLate())
                return false;
            if (node.type() == pugi::node_element) {
                ++elements;
                if (const pugi::xml_attribute id = node.attribute("id"))
                    if (!m_ids.emplace(id.value(), node).second)
                        return Fail(m_error, DirectoryErrorKind::Parse,
                                    "The answer holds the id \"" + std::string(id.value()) + "\" twice");
            }
            if (node.first_child()) {
                node = node.first_child();
                continue;
            }
            while (node && node != root && !node.next_sibling())
                node = node.parent();
            if (!node || node == root)
                break;
            node = node.next_sibling();
        }
        m_out.Values.reserve(elements);
        m_out.Members.reserve(elements);
        return true;
    }

    Id Decode(const pugi::xml_node& node, int depth)
    {
        if (depth > MaxDepth)
            return TooDeep();
        if (IsLate())
            return NoValue;
        const pugi::xml_attribute id = node.attribute("id");
        if (!id)
            return DecodeContent(node, depth);
        const std::string_view key = id.value();
        // A shared value counts with its full height wherever it is used again, so that no
        // chain of shared values grows past the limit either.
        if (const auto done = m_done.find(key); done != m_done.end())
            return depth + m_out.Values[done->second].Height > MaxDepth ? TooDeep() : done->second;
        if (!m_open.insert(key).second) {
            Fail(m_error, DirectoryErrorKind::Parse, "The answer refers to itself through \"" + std::string(key) + "\"");
            return NoValue;
        }
        const Id value = DecodeContent(node, depth);
        m_open.erase(key);
        if (value != NoValue)
            m_done.emplace(key, value);
        return value;
    }

private:
    bool IsLate()
    {
        if (m_steps++ % NodesPerClockRead != 0 || !m_deadline.HasPassed())
            return false;
        Fail(m_error, DirectoryErrorKind::Parse, m_deadline.TimedOut(ReadingAnswer));
        return true;
    }

    Id TooDeep()
    {
        Fail(m_error, DirectoryErrorKind::Parse, "The answer is nested too deeply");
        return NoValue;
    }

    Id Add(const SoapValue::Value& value)
    {
        m_out.Values.push_back(value);
        return static_cast<Id>(m_out.Values.size() - 1);
    }

    uint32_t NameId(std::string_view name)
    {
        const auto known = m_out.NameIds.find(name);
        if (known != m_out.NameIds.end())
            return known->second;
        const auto id = static_cast<uint32_t>(m_out.NameIds.size());
        m_out.NameIds.emplace(std::string(name), id);
        return id;
    }

    Id DecodeContent(const pugi::xml_node& node, int depth)
    {
        if (const pugi::xml_attribute href = node.attribute("href")) {
            const std::string_view target = href.value();
            if (!target.starts_with('#')) {
                Fail(m_error, DirectoryErrorKind::Parse, "The answer refers outside itself: \"" + std::string(target) + "\"");
                return NoValue;
            }
            const auto found = m_ids.find(target.substr(1));
            if (found == m_ids.end()) {
                Fail(m_error, DirectoryErrorKind::Parse, "The answer refers to a missing element: \"" + std::string(target) + "\"");
                return NoValue;
            }
            return Decode(found->second, depth + 1);
        }
        SoapValue::Value value;
        if (IsNil(node)) {
            value.Nil = true;
            return Add(value);
        }
        // The value's own text first, so that it lies in one piece before its members'.
        value.TextBegin = static_cast<uint32_t>(m_out.Texts.size());
        OwnText(node, [this](const char* piece) { m_out.Texts += piece; });
        value.TextSize = static_cast<uint32_t>(m_out.Texts.size() - value.TextBegin);
        std::vector<SoapValue::Member> members;
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            if (child.type() != pugi::node_element)
                continue;
            const Id member = Decode(child, depth + 1);
            if (member == NoValue)
                return NoValue;
            value.Height = std::max(value.Height, m_out.Values[member].Height + 1);
            members.push_back({NameId(LocalName(child)), member});
        }
        value.FirstMember = static_cast<uint32_t>(m_out.Members.size());
        value.MemberCount = static_cast<uint32_t>(members.size());
        m_out.Members.insert(m_out.Members.end(), members.begin(), members.end());
        if (members.size() >= IndexedMembers) {
            value.IndexBegin = static_cast<uint32_t>(m_out.NameIndex.size());
            std::vector<uint32_t> order(members.size());
            std::iota(order.begin(), order.end(), uint32_t{0});
            std::stable_sort(order.begin(), order.end(),
                             [&members](uint32_t a, uint32_t b) { return members[a].Name < members[b].Name; });
            m_out.NameIndex.insert(m_out.NameIndex.end(), order.begin(), order.end());
        }
        return Add(value);
    }

    SoapValue& m_out;
    DirectoryError& m_error;
    const Deadline& m_deadline;
    unsigned m_steps = 0;
    std::unordered_map<std::string_view, pugi::xml_node> m_ids;
    std::unordered_map<std::string_view, Id> m_done;
    std::unordered_set<std::string_view> m_open;
};

std::string Quoted(std::string_view text)
{
    if (text.size() <= MaxQuotedValue)
        return "'" + std::string(text) + "'";
    size_t cut = MaxQuotedValue;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0u) == 0x80u)
        --cut;
    return "'" + std::string(text.substr(0, cut)) + "...'";
}

bool IsBlank(std::string_view text)
{
    return text.find_first_not_of(XmlBlanks) == std::string_view::npos;
}

std::string_view WithoutBlanks(std::string_view text)
{
    text.remove_prefix(std::min(text.size(), text.find_first_not_of(XmlBlanks)));
    return text.substr(0, text.find_last_not_of(XmlBlanks) + 1);
}

// The text of a leaf field; none when the field is missing or nil, so that the record keeps
// its default.
bool LeafText(const SoapValue& result, Id record, std::string_view name, std::optional<std::string_view>& text,
              DirectoryError& error)
{
    text.reset();
    const Id field = result.Field(record, name);
    if (field == NoValue || result.IsNil(field))
        return true;
    if (result.IsCompound(field))
        return Fail(error, DirectoryErrorKind::Conversion, "The field " + std::string(name) + " is not a simple value");
    text = result.Text(field);
    return true;
}

// Reading one result within its limits: the time, and what the records have copied so far.
class Reading
{
public:
    Reading(const SoapValue& result, const READLIMITS& limits, DirectoryError& error)
        : m_result(result), m_limits(limits), m_error(error)
    {
    }

    bool ReadText(Id record, std::string_view name, std::string& out)
    {
        std::optional<std::string_view> text;
        if (!LeafText(m_result, record, name, text, m_error))
            return false;
        if (!text)
            return true;
        out = ValidUtf8(*text, MaxTextLength);
        m_copied += out.size();
        if (m_copied > m_limits.MaxCopiedBytes)
            return Fail(m_error, DirectoryErrorKind::Conversion,
                        "The answer refers to its shared values so often that its records would hold more than " +
                            std::to_string(m_limits.MaxCopiedBytes) + " bytes");
        return true;
    }

    bool ReadInt(Id record, std::string_view name, int& out) { return ReadNumber(record, name, out, "integer"); }
    bool ReadDouble(Id record, std::string_view name, double& out) { return ReadNumber(record, name, out, "decimal"); }

    template <typename Record>
    bool ReadArray(std::vector<Record>& records, const std::function<bool(Id, Record&)>& readItem)
    {
        return ReadItems(m_result.Root, records, readItem);
    }

    // An array inside a record; a missing or nil one is empty.
    template <typename Record>
    bool ReadList(Id record, std::string_view name, std::vector<Record>& records,
                  const std::function<bool(Id, Record&)>& readItem)
    {
        records.clear();
        const Id field = m_result.Field(record, name);
        return field == NoValue || ReadItems(field, records, readItem);
    }

private:
    // A sign "+" and blanks around the number are allowed, as the service writes them.
    template <typename Number>
    bool ReadNumber(Id record, std::string_view name, Number& out, const char* kind)
    {
        std::optional<std::string_view> text;
        if (!LeafText(m_result, record, name, text, m_error))
            return false;
        if (!text)
            return true;
        std::string_view digits = WithoutBlanks(*text);
        if (digits.starts_with('+'))
            digits.remove_prefix(1);
        Number value{};
        const auto [end, result] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || result != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value))
            return Fail(m_error, DirectoryErrorKind::Conversion,
                        Quoted(*text) + " is not a valid " + kind + " value for " + std::string(name));
        out = value;
        return true;
    }

    template <typename Record>
    bool ReadItems(Id root, std::vector<Record>& records, const std::function<bool(Id, Record&)>& readItem)
    {
        records.clear();
        if (m_result.IsNil(root))
            return true;
        if (!m_result.IsCompound(root)) {
            if (IsBlank(m_result.Text(root)))
                return true;
            return Fail(m_error, DirectoryErrorKind::Conversion,
                        root == m_result.Root ? "The result is not an array" : "A list of the result is not an array");
        }
        for (const SoapValue::Member& member : m_result.MembersOf(root)) {
            if (IsLate())
                return false;
            const Id item = member.Value;
            if (m_result.IsNil(item))
                continue;
            if (!m_result.IsCompound(item) && !IsBlank(m_result.Text(item)))
                return Fail(m_error, DirectoryErrorKind::Conversion, "An item of the result is not a structure");
            Record record;
            if (!readItem(item, record))
                return false;
            records.push_back(std::move(record));
        }
        return true;
    }

    bool IsLate()
    {
        if (m_items++ % ItemsPerClockRead != 0 || !m_limits.Until.HasPassed())
            return false;
        Fail(m_error, DirectoryErrorKind::Conversion, m_limits.Until.TimedOut(ReadingAnswer));
        return true;
    }

    const SoapValue& m_result;
    const READLIMITS& m_limits;
    DirectoryError& m_error;
    size_t m_copied = 0;
    unsigned m_items = 0;
};

}

READLIMITS ReadLimits(size_t answerBytes, const Deadline& deadline)
{
    return {deadline, CopiesPerAnswerByte * answerBytes + CopyAllowance};
}

bool DecodeAnswer(std::string_view xml, std::shared_ptr<const SoapValue>& result, DirectoryError& error,
                  const Deadline& deadline)
{
    result.reset();
    error = {};
    if (xml.size() > MaxAnswerBytes)
        return Fail(error, DirectoryErrorKind::Parse, "The answer is too large to be read");
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(
        xml.data(), xml.size(), pugi::parse_default | pugi::parse_ws_pcdata_single | pugi::parse_embed_pcdata);
    if (!parsed)
        return Fail(error, DirectoryErrorKind::Parse,
                    std::string("The answer is not well-formed XML: ") + parsed.description() + " at offset " +
                        std::to_string(parsed.offset));
    const pugi::xml_node envelope = document.document_element();
    const pugi::xml_node body = LocalName(envelope) == "Envelope" ? Child(envelope, "Body") : pugi::xml_node();
    if (!body)
        return Fail(error, DirectoryErrorKind::Parse, "The answer is not a SOAP envelope");
    pugi::xml_node response;
    for (pugi::xml_node entry = body.first_child(); entry && !response; entry = entry.next_sibling())
        if (entry.type() == pugi::node_element && !entry.attribute("id"))
            response = entry;
    if (response && LocalName(response) == "Fault") {
        std::string text;
        OwnText(Child(response, "faultstring"), [&text](const char* piece) { text += piece; });
        return Fail(error, DirectoryErrorKind::Fault, text);
    }
    const pugi::xml_node part = response ? Child(response, "return") : pugi::xml_node();
    if (!part)
        return Fail(error, DirectoryErrorKind::Parse, "The answer holds no result");
    auto decoded = std::make_shared<SoapValue>();
    Decoder decoder(*decoded, error, deadline);
    if (!decoder.IndexIds(envelope))
        return false;
    decoded->Root = decoder.Decode(part, 0);
    if (decoded->Root == NoValue)
        return false;
    result = std::move(decoded);
    return true;
}

bool ReadTrsList(const SoapValue& result, std::vector<TrsListDef>& systems, DirectoryError& error,
                 const READLIMITS& limits)
{
    Reading r(result, limits, error);
    return r.ReadArray<TrsListDef>(systems, [&r](Id item, TrsListDef& s) {
        return r.ReadInt(item, "sid", s.sid) && r.ReadText(item, "sName", s.sName) && r.ReadText(item, "sCity", s.sCity);
    });
}

bool ReadTrsSites(const SoapValue& result, std::vector<TrsSite>& sites, DirectoryError& error,
                  const READLIMITS& limits)
{
    Reading r(result, limits, error);
    return r.ReadArray<TrsSite>(sites, [&r](Id item, TrsSite& s) {
        return r.ReadInt(item, "siteNumber", s.siteNumber) && r.ReadText(item, "siteDescr", s.siteDescr) &&
               r.ReadInt(item, "rfss", s.rfss) &&
               r.ReadList<TrsSiteFreq>(item, "siteFreqs", s.siteFreqs, [&r](Id f, TrsSiteFreq& freq) {
                   return r.ReadDouble(f, "freq", freq.freq) && r.ReadText(f, "use", freq.use);
               });
    });
}

bool ReadTalkgroups(const SoapValue& result, std::vector<Talkgroup>& talkgroups, DirectoryError& error,
                    const READLIMITS& limits)
{
    Reading r(result, limits, error);
    return r.ReadArray<Talkgroup>(talkgroups, [&r](Id item, Talkgroup& t) {
        std::vector<std::string> tags;
        const bool read = r.ReadInt(item, "tgDec", t.tgDec) && r.ReadText(item, "tgDescr", t.tgDescr) &&
                          r.ReadText(item, "tgAlpha", t.tgAlpha) && r.ReadText(item, "tgMode", t.tgMode) &&
                          r.ReadInt(item, "tgCid", t.tgCid) &&
                          r.ReadList<std::string>(item, "tags", tags, [&r](Id tag, std::string& text) {
                              return r.ReadText(tag, "tagDescr", text);
                          });
        for (std::string& tag : tags)
            if (!tag.empty())
                t.tags.push_back(std::move(tag));
        return read;
    });
}
