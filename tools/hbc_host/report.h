// report.h - what one load of the module showed: the menu, the sections the
// module left out and why, the menu-text lookups, and the log records
// hbc-host could not place; printed as tables or as one JSON document.
#ifndef HBC_HOST_REPORT_H
#define HBC_HOST_REPORT_H

#include <windows.h>

#include <string>
#include <vector>

struct MenuItem {
    DWORD id = 0;
    std::string list;  // "QUICKLINK" or "TOOLKIT"
    LONG categoryCode = 0, dependency = 0, menuType = 0, execInterfaceType = 0, capability = 0;
    bool hasText = false;  // false: the module wrote no menu text
    std::string menuText, command;
    // Where the item came from; empty when hbc-host could not tell.
    std::string file, menuString;
    // The menu-text lookup: "language" (the full language's section),
    // "primary", "english", "missing", or "unknown"; and the section read.
    std::string lookup, lookupSection;
};

struct Rejection {
    std::string file;     // the definition file as the module named it
    std::string section;  // QUICKLINK or TOOLKIT; empty when unknown
    std::string reason;   // "Missing XP value", "bad path", "no Category", ...
    std::string message;  // the module's message; empty for a skipped section
    // What to do, in words, and the line to write instead (both may be empty).
    std::string hint, line;
};

struct Report {
    std::string modulePath;
    std::string folder;          // IniFolder as written for the load
    std::string windowsVersion;  // MAJOR.MINOR the module saw
    DWORD language = 0;
    std::string logFile;  // the log kept (--log); empty: temporary
    std::vector<MenuItem> items;
    std::vector<Rejection> rejections;
    std::vector<std::string> otherRecords;  // raw log lines hbc-host could not place
    std::vector<std::string> notes;

    // --check fails: a section rejected or skipped, or a menu text missing.
    bool checkFails() const;
};

// The report as tables, for people.
std::string formatTables(const Report& report);
// The report as one JSON document.
std::string formatJson(const Report& report);

#endif
