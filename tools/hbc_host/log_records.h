// log_records.h - the module's own log, read back: the text log's lines
// (UTF-16LE, CR LF) taken from where a load began, each parsed into its
// pieces and classified as what the plug-in means by it. A line that fits no
// known shape stays a record of kind Other and is shown as it stands.
#ifndef HBC_HOST_LOG_RECORDS_H
#define HBC_HOST_LOG_RECORDS_H

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct LogRecord {
    enum Kind {
        Other,           // not understood: shown raw
        ModuleEntry,     // "calling DllMain() - tpa_hbc.dll"
        Rejection,       // a rejected section (section, file, reason or command)
        MissInLanguage,  // menu text not in the full language's section
        MissInPrimary,   // nor in the primary language's section
        TextMissing,     // not in English either: no text
        IniIntMissing,   // the INI reader's record for an absent integer key
        Trace,           // ENTRY and EXIT records
    };
    std::string raw;          // the whole line, UTF-8
    bool parsed = false;      // the line has the text log's shape
    std::string level;        // "EXCEPTION_BAD"
    std::string application;  // the program the record came from
    std::string message;      // between the double quotes; empty when none
    Kind kind = Other;
    // Rejections: the section (QUICKLINK, TOOLKIT; empty for a bad path),
    // the file as the module named it, the reason ("Missing XP value",
    // "not for Windows XP", "bad path") and, for a bad path, the command.
    std::string section, file, reason, command;
};

// Parses and classifies one line of the text log.
LogRecord parseLogLine(const std::string& line);

// A text log read from a point on: each call answers the complete lines
// written since the last one.
class LogTail {
public:
    // Starts at the log's present end (0 when it does not exist yet).
    explicit LogTail(std::filesystem::path path);
    std::vector<LogRecord> readNew();

private:
    std::filesystem::path m_path;
    std::uintmax_t m_offset = 0;
};

#endif
