// report.cpp - the report as tables for people and as JSON for programs.
#include "report.h"

#include "options.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>

namespace {

// The columns a text takes in a terminal: East Asian wide characters take
// two.
size_t displayWidth(const std::string& text) {
    size_t width = 0;
    for (size_t i = 0; i < text.size();) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        size_t length = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
        char32_t cp = length == 1   ? b
                      : length == 2 ? (b & 0x1F)
                      : length == 3 ? (b & 0x0F)
                                    : (b & 0x07);
        for (size_t k = 1; k < length && i + k < text.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += length;
        bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
                    (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                    (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
                    (cp >= 0xFFE0 && cp <= 0xFFE6) || cp >= 0x20000;
        width += wide ? 2 : 1;
    }
    return width;
}

// Rows of cells as aligned columns, two blanks apart, each line indented.
std::string table(const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c) {
            if (widths.size() <= c) widths.push_back(0);
            widths[c] = std::max(widths[c], displayWidth(row[c]));
        }
    std::string out;
    for (const auto& row : rows) {
        std::string line = " ";
        for (size_t c = 0; c < row.size(); ++c) {
            line += " " + row[c];
            if (c + 1 < row.size()) line += std::string(widths[c] - displayWidth(row[c]) + 1, ' ');
        }
        out += line + "\n";
    }
    return out;
}

std::string hex(DWORD value) {
    std::ostringstream out;
    out << "0x" << std::uppercase << std::hex << value;
    return out.str();
}

// What the module does on that version of Windows.
std::string versionMeaning(const std::string& version) {
    unsigned major = 0, minor = 0;
    char dot = 0;
    std::istringstream in(version);
    in >> major >> dot >> minor;
    unsigned v = major * 256 + minor;
    if (v >= 5 * 256 + 1 && v < 6 * 256) return "XP: an item needs XP=1";
    if (v >= 6 * 256 && v < 7 * 256) return "Vista: an item needs Vista=1";
    return "neither XP nor Vista: the XP and Vista values are not looked at";
}

std::string lookupText(const MenuItem& item, DWORD language) {
    if (item.lookup == "primary") return "from [" + item.lookupSection + "], the primary language";
    if (item.lookup == "english") return "from [0x09], English";
    return "missing: in no section for " + hex(language) + ", its primary language or English";
}

std::string rejectionText(const Rejection& rejection) {
    if (rejection.section.empty() || rejection.reason == "bad path") return rejection.message;
    return rejection.reason;
}

}  // namespace

bool Report::checkFails() const {
    return !rejections.empty() || std::any_of(items.begin(), items.end(), [](const MenuItem& item) {
        return item.lookup == "missing";
    });
}

std::string formatTables(const Report& report) {
    std::ostringstream out;
    out << "module    " << report.modulePath << "\n"
        << "folder    " << report.folder << "\n"
        << "Windows   " << report.windowsVersion << " (" << versionMeaning(report.windowsVersion)
        << ")\n"
        << "language  " << hex(report.language) << "\n";
    if (!report.logFile.empty()) out << "log       " << report.logFile << "\n";

    for (const char* list : {"QUICKLINK", "TOOLKIT"}) {
        std::vector<std::vector<std::string>> rows = {{"id", "category", "dependency", "menu type",
                                                       "menu text", "exec type", "command",
                                                       "capability", "file"}};
        for (const MenuItem& item : report.items)
            if (item.list == list)
                rows.push_back({std::to_string(item.id), std::to_string(item.categoryCode),
                                std::to_string(item.dependency), std::to_string(item.menuType),
                                item.hasText ? item.menuText : "(missing)",
                                std::to_string(item.execInterfaceType), item.command,
                                std::to_string(item.capability), item.file});
        out << "\n" << list << " items (" << rows.size() - 1 << ")\n";
        if (rows.size() > 1) out << table(rows);
    }

    out << "\nRejected sections (" << report.rejections.size() << ")\n";
    for (const Rejection& rejection : report.rejections) {
        out << "  " << rejection.file;
        if (!rejection.section.empty()) out << " [" << rejection.section << "]";
        out << ": " << rejectionText(rejection) << "\n";
        if (!rejection.hint.empty()) out << "    " << rejection.hint << "\n";
        if (!rejection.line.empty()) out << "      " << rejection.line << "\n";
    }

    std::vector<std::vector<std::string>> lookups;
    for (const MenuItem& item : report.items)
        if (item.lookup != "language")
            lookups.push_back({std::to_string(item.id), item.menuString,
                               item.file.empty() ? "" : item.file + ".strings",
                               lookupText(item, report.language)});
    out << "\nMenu texts not found in [" << hex(report.language & 0xFFF) << "] (" << lookups.size()
        << ")\n";
    if (!lookups.empty()) out << table(lookups);

    if (!report.otherRecords.empty()) {
        out << "\nOther log records of this load (" << report.otherRecords.size() << ")\n";
        for (const std::string& line : report.otherRecords) out << "  " << line << "\n";
    }
    for (const std::string& note : report.notes) out << "\nNote: " << note << "\n";
    return out.str();
}

std::string formatJson(const Report& report) {
    using json = nlohmann::ordered_json;
    json items = json::array(), rejections = json::array(), lookups = json::array();
    for (const MenuItem& item : report.items) {
        items.push_back(
            {{"id", item.id},
             {"list", item.list},
             {"categoryCode", item.categoryCode},
             {"dependency", item.dependency},
             {"menuType", item.menuType},
             {"menuText", item.hasText ? json(item.menuText) : json(nullptr)},
             {"execInterfaceType", item.execInterfaceType},
             {"execInterface", item.command},
             {"capability", item.capability},
             {"file", item.file.empty() ? json(nullptr) : json(item.file)},
             {"menuString", item.menuString.empty() ? json(nullptr) : json(item.menuString)}});
        lookups.push_back(
            {{"id", item.id},
             {"menuString", item.menuString.empty() ? json(nullptr) : json(item.menuString)},
             {"outcome", item.lookup},
             {"section", item.lookupSection.empty() ? json(nullptr) : json(item.lookupSection)}});
    }
    for (const Rejection& rejection : report.rejections) {
        json entry = {{"file", rejection.file},
                      {"section", rejection.section},
                      {"reason", rejection.reason},
                      {"message", rejection.message}};
        if (!rejection.hint.empty()) entry["hint"] = rejection.hint;
        if (!rejection.line.empty()) entry["line"] = rejection.line;
        rejections.push_back(entry);
    }
    json document = {{"hbcHost", kHbcHostVersion},
                     {"module", {{"path", report.modulePath}}},
                     {"windowsVersion", report.windowsVersion},
                     {"folder", report.folder},
                     {"language", report.language},
                     {"log", report.logFile.empty() ? json(nullptr) : json(report.logFile)},
                     {"items", items},
                     {"rejections", rejections},
                     {"lookups", lookups},
                     {"otherRecords", report.otherRecords},
                     {"notes", report.notes},
                     {"checkFails", report.checkFails()}};
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}
