#include "directory/SoapAnswer.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <pugixml.hpp>
#include <unordered_map>
#include <unordered_set>

namespace {

// Real answers nest about eight levels below "return"; references count as a level.
constexpr int MaxDepth = 32;
// A value quoted in a conversion error is cut to this many bytes.
constexpr size_t MaxQuotedValue = 40;
constexpr std::string_view XmlBlanks = " \t\r\n";

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

// Decodes values below "return", resolving href="#id" against every element that carries
// an id, wherever it stands (inline or in a multiRef element beside the result).
class Decoder
{
public:
    explicit Decoder(DirectoryError& error) : m_error(error) {}

    bool IndexIds(const pugi::xml_node& root)
    {
        // Iterative walk: the document's nesting is not bounded yet.
        for (pugi::xml_node node = root; node;) {
            if (node.type() == pugi::node_element) {
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
        return true;
    }

    std::shared_ptr<const SoapValue> Decode(const pugi::xml_node& node, int depth)
    {
        if (depth > MaxDepth)
            return TooDeep();
        const pugi::xml_attribute id = node.attribute("id");
        if (!id)
            return DecodeContent(node, depth);
        const std::string_view key = id.value();
        // A shared value counts with its full height wherever it is used again, so that no
        // chain of shared values grows past the limit either.
        if (const auto done = m_done.find(key); done != m_done.end())
            return depth + done->second->Height > MaxDepth ? TooDeep() : done->second;
        if (!m_open.insert(key).second) {
            Fail(m_error, DirectoryErrorKind::Parse, "The answer refers to itself through \"" + std::string(key) + "\"");
            return nullptr;
        }
        auto value = DecodeContent(node, depth);
        m_open.erase(key);
        if (value)
            m_done.emplace(key, value);
        return value;
    }

private:
    std::shared_ptr<const SoapValue> TooDeep()
    {
        Fail(m_error, DirectoryErrorKind::Parse, "The answer is nested too deeply");
        return nullptr;
    }

    std::shared_ptr<const SoapValue> DecodeContent(const pugi::xml_node& node, int depth)
    {
        if (const pugi::xml_attribute href = node.attribute("href")) {
            const std::string_view target = href.value();
            if (!target.starts_with('#')) {
                Fail(m_error, DirectoryErrorKind::Parse, "The answer refers outside itself: \"" + std::string(target) + "\"");
                return nullptr;
            }
            const auto found = m_ids.find(target.substr(1));
            if (found == m_ids.end()) {
                Fail(m_error, DirectoryErrorKind::Parse, "The answer refers to a missing element: \"" + std::string(target) + "\"");
                return nullptr;
            }
            return Decode(found->second, depth + 1);
        }
        auto value = std::make_shared<SoapValue>();
        if (IsNil(node)) {
            value->Nil = true;
            return value;
        }
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            if (child.type() == pugi::node_element) {
                auto member = Decode(child, depth + 1);
                if (!member)
                    return nullptr;
                value->Height = std::max(value->Height, member->Height + 1);
                value->Members.emplace_back(LocalName(child), std::move(member));
            } else if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
                value->Text += child.value();
            }
        }
        return value;
    }

    DirectoryError& m_error;
    std::unordered_map<std::string_view, pugi::xml_node> m_ids;
    std::unordered_map<std::string_view, std::shared_ptr<const SoapValue>> m_done;
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

const SoapValue* Field(const SoapValue& record, std::string_view name)
{
    for (const auto& [memberName, value] : record.Members)
        if (memberName == name)
            return value.get();
    return nullptr;
}

// The text of a leaf field; nullptr when the field is missing or nil, so that the record
// keeps its default.
bool LeafText(const SoapValue& record, std::string_view name, const std::string*& text, DirectoryError& error)
{
    text = nullptr;
    const SoapValue* field = Field(record, name);
    if (!field || field->Nil)
        return true;
    if (field->IsCompound())
        return Fail(error, DirectoryErrorKind::Conversion, "The field " + std::string(name) + " is not a simple value");
    text = &field->Text;
    return true;
}

bool ReadText(const SoapValue& record, std::string_view name, std::string& out, DirectoryError& error)
{
    const std::string* text = nullptr;
    if (!LeafText(record, name, text, error))
        return false;
    if (text)
        out = *text;
    return true;
}

bool ReadInt(const SoapValue& record, std::string_view name, int& out, DirectoryError& error)
{
    const std::string* text = nullptr;
    if (!LeafText(record, name, text, error))
        return false;
    if (!text)
        return true;
    std::string_view digits = *text;
    digits.remove_prefix(std::min(digits.size(), digits.find_first_not_of(XmlBlanks)));
    digits = digits.substr(0, digits.find_last_not_of(XmlBlanks) + 1);
    if (digits.starts_with('+'))
        digits.remove_prefix(1);
    const auto [end, result] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
    if (digits.empty() || result != std::errc() || end != digits.data() + digits.size())
        return Fail(error, DirectoryErrorKind::Conversion,
                    Quoted(*text) + " is not a valid integer value for " + std::string(name));
    return true;
}

template <typename Record>
bool ReadArray(const SoapValue& result, std::vector<Record>& records, DirectoryError& error,
               const std::function<bool(const SoapValue&, Record&)>& readItem)
{
    records.clear();
    if (result.Nil)
        return true;
    if (!result.IsCompound()) {
        if (result.Text.find_first_not_of(XmlBlanks) == std::string::npos)
            return true;
        return Fail(error, DirectoryErrorKind::Conversion, "The result is not an array");
    }
    for (const auto& [name, item] : result.Members) {
        if (item->Nil)
            continue;
        if (!item->IsCompound() && item->Text.find_first_not_of(XmlBlanks) != std::string::npos)
            return Fail(error, DirectoryErrorKind::Conversion, "An item of the result is not a structure");
        Record record;
        if (!readItem(*item, record))
            return false;
        records.push_back(std::move(record));
    }
    return true;
}

}

bool DecodeAnswer(std::string_view xml, std::shared_ptr<const SoapValue>& result, DirectoryError& error)
{
    result.reset();
    error = {};
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_ws_pcdata_single);
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
        const pugi::xml_node faultString = Child(response, "faultstring");
        for (pugi::xml_node part = faultString.first_child(); part; part = part.next_sibling())
            if (part.type() == pugi::node_pcdata || part.type() == pugi::node_cdata)
                text += part.value();
        return Fail(error, DirectoryErrorKind::Fault, text);
    }
    const pugi::xml_node part = response ? Child(response, "return") : pugi::xml_node();
    if (!part)
        return Fail(error, DirectoryErrorKind::Parse, "The answer holds no result");
    Decoder decoder(error);
    if (!decoder.IndexIds(envelope))
        return false;
    result = decoder.Decode(part, 0);
    return result != nullptr;
}

bool ReadTrsList(const SoapValue& result, std::vector<TrsListDef>& systems, DirectoryError& error)
{
    return ReadArray<TrsListDef>(result, systems, error, [&error](const SoapValue& item, TrsListDef& s) {
        return ReadInt(item, "sid", s.sid, error) && ReadText(item, "sName", s.sName, error) &&
               ReadText(item, "sCity", s.sCity, error);
    });
}

bool ReadTrsSites(const SoapValue& result, std::vector<TrsSite>& sites, DirectoryError& error)
{
    return ReadArray<TrsSite>(result, sites, error, [&error](const SoapValue& item, TrsSite& s) {
        return ReadInt(item, "siteNumber", s.siteNumber, error) && ReadText(item, "siteDescr", s.siteDescr, error) &&
               ReadInt(item, "rfss", s.rfss, error);
    });
}

bool ReadTalkgroups(const SoapValue& result, std::vector<Talkgroup>& talkgroups, DirectoryError& error)
{
    return ReadArray<Talkgroup>(result, talkgroups, error, [&error](const SoapValue& item, Talkgroup& t) {
        return ReadInt(item, "tgDec", t.tgDec, error) && ReadText(item, "tgDescr", t.tgDescr, error) &&
               ReadText(item, "tgAlpha", t.tgAlpha, error);
    });
}
