// profile_reader_fuzz.cpp - the private-profile reader over arbitrary bytes
// (UTF-8, UTF-16LE with its mark, Windows-1252, binary): parsing, every
// lookup and listing, the buffer copy rules, numbers, and edits written
// back and read again.
//
// What must hold for any input:
//   - an unchanged document is written back byte for byte;
//   - the copy rules never write past the size given, always terminate, and
//     return what they wrote;
//   - an edit changes exactly the value it names: read back from the bytes
//     written, that value is the new one and every other value is as before.
#include <ini_text.h>

#include <algorithm>
#include <map>

#include "fuzz_support.h"

namespace {

using w32p::wstring;
using w32p::wstring_view;
namespace ini = w32p::ini;

// Every (section, key) -> value the document answers, through the lookups,
// for the first sections and keys (a large input is not walked whole).
using Values = std::map<std::pair<wstring, wstring>, wstring>;
const size_t kMaxNames = 8;

Values valuesOf(const ini::Document& doc) {
    Values values;
    std::vector<wstring> sections = ini::sectionNames(doc);
    for (size_t s = 0; s < sections.size() && s < kMaxNames; ++s) {
        std::optional<std::vector<wstring>> keys = ini::keyNames(doc, sections[s]);
        fuzz::check(keys.has_value(), "a listed section is found");
        for (size_t k = 0; k < keys->size() && k < kMaxNames; ++k) {
            std::optional<wstring> value = ini::findValue(doc, sections[s], (*keys)[k]);
            fuzz::check(value.has_value(), "a listed key is found");
            values.emplace(Values::key_type{sections[s], (*keys)[k]}, *value);
        }
    }
    return values;
}

// The sizes worth trying for a text of `length` units: the smallest, and
// those around the length where the cut happens.
std::vector<DWORD> sizesAround(size_t length) {
    std::vector<DWORD> sizes = {1, 2, 3};
    for (size_t d = 0; d < 4; ++d)
        if (length + d >= 1) sizes.push_back(static_cast<DWORD>(length + d - 1));
    return sizes;
}

void checkCopyString(wstring_view text) {
    for (DWORD size : sizesAround(text.size())) {
        if (size == 0) continue;
        for (bool strip : {false, true}) {
            fuzz::GuardedText buffer(size);
            DWORD n = ini::copyString(text, strip, buffer.data(), size);
            fuzz::check(buffer.guardsIntact(), "copyString writes past the buffer");
            fuzz::check(n < size && buffer.data()[n] == 0, "copyString terminates its text");
            fuzz::check(n <= text.size(), "copyString returns at most the text's length");
            if (!strip)
                fuzz::check(std::equal(buffer.data(), buffer.data() + n, text.begin()),
                            "copyString copies the start of the text");
        }
    }
}

void checkCopyList(const std::vector<wstring>& items) {
    size_t total = 0;
    for (const wstring& item : items) total += item.size() + 1;
    for (DWORD size : sizesAround(total + 1)) {
        if (size == 0) continue;
        fuzz::GuardedText buffer(size);
        DWORD n = ini::copyList(items, buffer.data(), size, true);
        fuzz::check(buffer.guardsIntact(), "copyList writes past the buffer");
        fuzz::check(n < size && buffer.data()[n] == 0, "copyList ends its listing with a NUL");
        fuzz::check(n == total || n == (size >= 2 ? size - 2 : 0) || items.empty(),
                    "copyList returns the whole listing's length or size - 2");
    }
}

// Whether "key=value" under "[section]" reads back as exactly these names
// and this value: a line break, a NUL, or a bracket or semicolon that turns
// the line into a header or a comment, cannot be written as it stands.
bool writable(wstring_view section, wstring_view key, wstring_view value) {
    for (wstring_view text : {section, key, value})
        if (text.find_first_of(std::u16string_view(u"\r\n\0", 3)) != wstring_view::npos)
            return false;
    ini::Line header;
    header.text = u"[" + wstring(ini::trimLeading(section)) + u"]";
    ini::parseLine(header);
    ini::Line entry;
    entry.text = wstring(ini::trimLeading(key)) + u"=" + wstring(ini::trimLeading(value));
    ini::parseLine(entry);
    return header.kind == ini::LineKind::Header && header.name == ini::trim(section) &&
           entry.kind == ini::LineKind::Entry && !entry.comment && entry.name == ini::trim(key) &&
           entry.value == ini::trim(value);
}

bool sameName(const Values::key_type& a, const Values::key_type& b) {
    return w32p::equalsNoCase(ini::trim(a.first), ini::trim(b.first)) &&
           w32p::equalsNoCase(ini::trim(a.second), ini::trim(b.second));
}

// What an edit changed: the values it names (`touched`), which must answer
// from the bytes written as they answer from the edited document in memory.
struct Touched {
    wstring section;
    std::optional<wstring> key;  // none: the whole section
    bool covers(const Values::key_type& name) const {
        if (!key) return w32p::equalsNoCase(ini::trim(name.first), ini::trim(section));
        return sameName(name, {section, *key});
    }
};

// Applies `edit` to a copy of the document, writes it, reads the bytes back,
// and compares every value with the edited document in memory, and every
// value the edit did not touch with the original too.
template <typename Edit>
void checkEdit(const ini::Document& doc, const Values& before, Edit edit, const char* what) {
    ini::Document changed = doc;
    Touched touched;
    if (!edit(changed, touched)) return;
    ini::Document reread = ini::parse(ini::serialise(changed));
    Values names = before;
    if (touched.key) names.emplace(Values::key_type{touched.section, *touched.key}, wstring());
    for (const auto& [name, value] : names) {
        std::optional<wstring> now = ini::findValue(reread, name.first, name.second);
        fuzz::check(now == ini::findValue(changed, name.first, name.second), what);
        if (!touched.covers(name)) fuzz::check(now == value, what);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ini::Document doc = ini::parse(bytes);
    fuzz::check(ini::serialise(doc) == bytes, "an unchanged document is written back as it was");

    Values values = valuesOf(doc);
    std::vector<wstring> sections = ini::sectionNames(doc);
    checkCopyList(sections);
    for (size_t s = 0; s < sections.size() && s < 4; ++s) {
        if (std::optional<std::vector<wstring>> lines = ini::sectionLines(doc, sections[s]))
            checkCopyList(*lines);
    }
    for (const auto& [name, value] : values) {
        checkCopyString(value);
        ini::parseProfileInt(value);
    }

    // Edits, with names and values taken from the document itself.
    const wstring value = values.empty() ? u"value" : values.begin()->second + u"+";
    const wstring section = sections.empty() ? u"Fuzz" : sections.front();
    const wstring key = values.empty() ? u"Key" : values.begin()->first.second;
    auto set = [&](const wstring& s, const wstring& k) {
        return [&, s, k](ini::Document& d, Touched& touched) {
            if (!writable(s, k, value)) return false;
            ini::setValue(d, s, k, value);
            fuzz::check(ini::findValue(d, s, k) == wstring(ini::trim(value)),
                        "a value set answers at once");
            touched = {s, k};
            return true;
        };
    };
    checkEdit(doc, values, set(section, key), "setting a value changes that value only");
    checkEdit(doc, values, set(section, u"FuzzNew"), "a new key changes nothing else");
    checkEdit(doc, values, set(u"FuzzSection", key), "a new section changes nothing else");
    checkEdit(
        doc, values,
        [&](ini::Document& d, Touched& touched) {
            if (values.empty()) return false;
            touched = {values.begin()->first.first, values.begin()->first.second};
            ini::deleteKey(d, touched.section, *touched.key);
            return true;
        },
        "deleting a key changes nothing else");
    checkEdit(
        doc, values,
        [&](ini::Document& d, Touched& touched) {
            if (sections.empty()) return false;
            touched = {sections.back(), std::nullopt};
            ini::deleteSection(d, touched.section);
            return true;
        },
        "deleting a section changes nothing else");
    return 0;
}
