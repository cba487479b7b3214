// log_records.cpp - the text log's lines parsed and classified.
//
// A line is "<time>: <LEVEL> <application> ", an optional "<object::function> ",
// an optional message in double quotes, then result and source pieces. The
// plug-in's own records carry a message only, so the message runs from the
// first double quote after the application to the line's last one (a
// command in a message may hold double quotes of its own).
#include "log_records.h"

#include <fstream>

#include "utf.h"

namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// "Missing XP value for QUICKLINK in file P" and "XP value too long for
// QUICKLINK in file P": the part before " for ", the section, the file.
bool splitForInFile(const std::string& message, LogRecord& record) {
    size_t forAt = message.find(" value for ");
    if (forAt == std::string::npos) forAt = message.find(" value too long for ");
    size_t inFile = message.find(" in file ");
    if (forAt == std::string::npos || inFile == std::string::npos || inFile < forAt) return false;
    size_t sectionAt = message.find(" for ", forAt) + 5;
    record.reason = message.substr(0, message.find(" for ", forAt));
    record.section = message.substr(sectionAt, inFile - sectionAt);
    record.file = message.substr(inFile + 9);
    return !record.section.empty() && !record.file.empty();
}

// "This QUICKLINK is not for Windows XP.  file = P".
bool splitNotFor(const std::string& message, LogRecord& record) {
    const std::string notFor = " is not for Windows ";
    const std::string fileIs = ".  file = ";
    size_t at = message.find(notFor);
    size_t fileAt = message.find(fileIs);
    if (!startsWith(message, "This ") || at == std::string::npos || fileAt == std::string::npos ||
        fileAt < at)
        return false;
    record.section = message.substr(5, at - 5);
    record.reason =
        "not for Windows " + message.substr(at + notFor.size(), fileAt - at - notFor.size());
    record.file = message.substr(fileAt + fileIs.size());
    return !record.file.empty();
}

void classify(LogRecord& record) {
    const std::string& m = record.message;
    if (record.level == "ENTRY" || record.level == "EXIT") {
        record.kind = LogRecord::Trace;
    } else if (m == "calling DllMain() - tpa_hbc.dll") {
        record.kind = LogRecord::ModuleEntry;
    } else if (m == "could not load the translated string using the language ID") {
        record.kind = LogRecord::MissInLanguage;
    } else if (m == "could not load the translated string using the the primary language ID") {
        record.kind = LogRecord::MissInPrimary;
    } else if (m ==
               "could not load translated string or english string - error in strings.ini "
               "file") {
        record.kind = LogRecord::TextMissing;
    } else if (m == "GetPrivateProfileInt( ) failed.") {
        record.kind = LogRecord::IniIntMissing;
    } else if (record.level == "EXCEPTION_BAD" && startsWith(m, "bad path: ")) {
        record.kind = LogRecord::Rejection;
        record.reason = "bad path";
        record.command = m.substr(10);
    } else if (record.level == "EXCEPTION_BAD" &&
               ((startsWith(m, "Missing ") || m.find(" value too long for ") != std::string::npos)
                    ? splitForInFile(m, record)
                    : splitNotFor(m, record))) {
        record.kind = LogRecord::Rejection;
    }
}

}  // namespace

LogRecord parseLogLine(const std::string& line) {
    LogRecord record;
    record.raw = line;
    // "<time>: "
    size_t pos = line.find(">: ");
    if (line.empty() || line[0] != '<' || pos == std::string::npos) return record;
    pos += 3;
    // "<LEVEL> " and "<application> "
    std::string pieces[2];
    for (std::string& piece : pieces) {
        size_t end = line.find("> ", pos);
        if (pos >= line.size() || line[pos] != '<' || end == std::string::npos) return record;
        piece = line.substr(pos + 1, end - pos - 1);
        pos = end + 2;
    }
    record.level = pieces[0];
    record.application = pieces[1];
    // "<object::function> "
    if (pos < line.size() && line[pos] == '<') {
        size_t end = line.find("> ", pos);
        if (end == std::string::npos) end = line.size() - 1;
        pos = end + 2;
    }
    size_t last = line.rfind('"');
    if (pos < line.size() && line[pos] == '"' && last > pos)
        record.message = line.substr(pos + 1, last - pos - 1);
    record.parsed = true;
    classify(record);
    return record;
}

LogTail::LogTail(std::filesystem::path path) : m_path(std::move(path)) {
    std::error_code error;
    std::uintmax_t size = std::filesystem::file_size(m_path, error);
    m_offset = error ? 0 : size;
}

std::vector<LogRecord> LogTail::readNew() {
    std::vector<LogRecord> records;
    std::ifstream in(m_path, std::ios::binary);
    if (!in) return records;
    in.seekg(static_cast<std::streamoff>(m_offset));
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A new log starts with the byte-order mark.
    size_t start =
        m_offset == 0 && bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE' ? 2 : 0;
    wstr text;
    for (size_t i = start; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<WCHAR>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    // Only complete lines: a line still being written is read next time.
    size_t used = 0;
    for (size_t end; (end = text.find(TEXT("\r\n"), used)) != wstr::npos; used = end + 2)
        records.push_back(parseLogLine(toUtf8(text.substr(used, end - used))));
    m_offset += start + used * 2;
    return records;
}
