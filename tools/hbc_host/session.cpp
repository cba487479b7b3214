// session.cpp - one load of the module and what its log says about it.
//
//   definition files   the files and sections the module reads, read again
//                      here to name the file of each item and rejection
//   quoting hints      what to write when a command names no program
//   the load           registry settings, the module loaded, every id asked
//   placing records    each rejection matched with its section, in order
#include "session.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>

#include "loaded_module.h"
#include "log_records.h"
#include "platform.h"
#include "registry_override.h"

namespace {

const wstr kLogsKey = TEXT("SOFTWARE\\Norvak\\Logs");
const char* const kSections[] = {"QUICKLINK", "TOOLKIT"};
// The longest "TextOutput" the module reads (a 256-byte buffer).
const size_t kLongestLogPath = 127;

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool sameText(const std::string& a, const std::string& b) { return lower(a) == lower(b); }

std::string hex(DWORD value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

// ---- definition files -------------------------------------------------------

struct Section {
    bool present = false;      // the file has the section
    bool hasCategory = false;  // so the module reads it as an item
    wstr command;              // ExecInterface as the module gets it (quotes stripped)
    wstr rawCommand;           // as written in the file
    wstr menuString;
    // Filled while placing the log's records.
    const LogRecord* rejection = nullptr;
};

struct DefinitionFile {
    wstr path;  // as the module builds it: the folder text and the name
    Section sections[2];
};

wstr profileString(const char* section, const WCHAR* key, const wstr& file) {
    WCHAR buffer[1024];
    DWORD n = GetPrivateProfileStringW(fromUtf8(section).c_str(), key, TEXT(""), buffer, 1024,
                                       file.c_str());
    return wstr(buffer, n);
}

// The NUL-separated list of a section's lines (or, for no section, of the
// file's section names).
std::vector<wstr> profileList(const char* section, const wstr& file) {
    std::vector<WCHAR> buffer(32767);
    DWORD n = section ? GetPrivateProfileSectionW(fromUtf8(section).c_str(), buffer.data(), 32767,
                                                  file.c_str())
                      : GetPrivateProfileSectionNamesW(buffer.data(), 32767, file.c_str());
    std::vector<wstr> entries;
    for (size_t start = 0, i = 0; i < n; ++i)
        if (buffer[i] == 0) {
            entries.emplace_back(buffer.data() + start, i - start);
            start = i + 1;
        }
    return entries;
}

DefinitionFile readDefinitionFile(const wstr& folder, const wstr& name) {
    DefinitionFile file;
    file.path = folder + name;
    std::vector<wstr> names = profileList(nullptr, file.path);
    for (int s = 0; s < 2; ++s) {
        Section& section = file.sections[s];
        for (const wstr& present : names)
            if (sameText(toUtf8(present), kSections[s])) section.present = true;
        section.hasCategory =
            static_cast<INT>(GetPrivateProfileIntW(fromUtf8(kSections[s]).c_str(), TEXT("Category"),
                                                   -1, file.path.c_str())) != -1;
        section.command = profileString(kSections[s], TEXT("ExecInterface"), file.path);
        section.menuString = profileString(kSections[s], TEXT("MenuString"), file.path);
        // The section's lines keep their quotes; the first ExecInterface line counts.
        for (const wstr& line : profileList(kSections[s], file.path)) {
            size_t equals = line.find(TEXT('='));
            if (equals == wstr::npos) continue;
            std::string key = toUtf8(line.substr(0, equals));
            key.erase(key.find_last_not_of(" \t") + 1);
            if (sameText(key, "ExecInterface")) {
                section.rawCommand = line.substr(equals + 1);
                while (!section.rawCommand.empty() && section.rawCommand[0] == TEXT(' '))
                    section.rawCommand.erase(0, 1);
                break;
            }
        }
    }
    return file;
}

std::vector<DefinitionFile> readDefinitionFiles(const wstr& folder) {
    std::vector<DefinitionFile> files;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + TEXT("*.ini")).c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        files.push_back(readDefinitionFile(folder, entry.cFileName));
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return files;
}

// ---- quoting hints ----------------------------------------------------------

// Where the program of an unquoted command ends: the whole command, or the
// longest part up to a blank, that names something that exists; npos when
// none does.
size_t programEnd(const wstr& command) {
    for (size_t end = command.size(); end > 0;) {
        if (pathExists(expandEnvironment(command.substr(0, end)))) return end;
        end = command.rfind(TEXT(' '), end - 1);
        if (end == wstr::npos) break;
    }
    return wstr::npos;
}

// What to tell the author of a section rejected as "bad path: <seen>".
void explainBadPath(const Section& section, const std::string& seen, Rejection& rejection) {
    const wstr& command = section.command;
    const wstr& raw = section.rawCommand;
    // The INI reader took off a pair of quotes that enclosed the whole value.
    const bool stripped = raw.size() >= 2 && (raw[0] == TEXT('"') || raw[0] == TEXT('\'')) &&
                          raw.back() == raw[0] && raw.substr(1, raw.size() - 2) == command;
    const std::string strips =
        "The INI reader strips one pair of double quotes around a whole value, so the module got ";
    size_t first = seen.find('"'), last = seen.rfind('"');
    if (first == std::string::npos) {
        size_t end = programEnd(command);
        if (stripped) {
            rejection.hint = strips +
                             "the command without quotes and found no program between "
                             "quotes. Double the quotes:";
            if (end == wstr::npos)
                rejection.hint += " (and note that nothing named " +
                                  toUtf8(expandEnvironment(command)) + " exists)";
            rejection.line = "ExecInterface=\"\"" + toUtf8(command) + "\"\"";
        } else if (end == command.size()) {
            rejection.hint =
                "The command has no double quotes: the module looks for the program between "
                "them. A command that is only a quoted path needs doubled quotes, since the INI "
                "reader strips one pair:";
            rejection.line = "ExecInterface=\"\"" + toUtf8(command) + "\"\"";
        } else if (end != wstr::npos) {
            rejection.hint =
                "The command has no double quotes: the module looks for the program between "
                "them. Quote the program:";
            rejection.line = "ExecInterface=\"" + toUtf8(command.substr(0, end)) + "\"" +
                             toUtf8(command.substr(end));
        } else {
            rejection.hint =
                "The command has no double quotes, and nothing it names exists: write the "
                "program's path between double quotes.";
        }
    } else if (last == first) {
        rejection.hint = (stripped ? strips + toUtf8(command) + ", with a single double quote: "
                                   : std::string("The command has a single double quote: ")) +
                         "write the program's path between two.";
    } else {
        std::string program = seen.substr(first + 1, last - first - 1);
        if (stripped || program.find('"') != std::string::npos)
            rejection.hint = (stripped ? strips + toUtf8(command) + ". " : std::string()) +
                             "The module takes the program from the first to the last double "
                             "quote, here \"" +
                             program + "\": quote only the program's path, not its arguments.";
        else
            rejection.hint = "The program " + program + " does not exist.";
    }
}

// ---- placing the log's records ----------------------------------------------

// Matches the load's rejections, in their order, with the sections the
// module read, in its order (files in search order, QUICKLINK before
// TOOLKIT). A section without Category is skipped without a record; every
// other section is either rejected by the next record or accepted.
std::vector<const LogRecord*> placeRejections(std::vector<DefinitionFile>& files,
                                              const std::vector<const LogRecord*>& rejections) {
    size_t next = 0;
    for (DefinitionFile& file : files)
        for (int s = 0; s < 2; ++s) {
            Section& section = file.sections[s];
            if (!section.hasCategory || next == rejections.size()) continue;
            const LogRecord& record = *rejections[next];
            bool matches = record.reason != "bad path"
                               ? sameText(record.section, kSections[s]) &&
                                     sameText(record.file, toUtf8(file.path))
                               : record.command == toUtf8(expandEnvironment(section.command)) ||
                                     record.command == toUtf8(section.command);
            if (matches) {
                section.rejection = &record;
                ++next;
            }
        }
    return std::vector<const LogRecord*>(rejections.begin() + next, rejections.end());
}

std::string fileName(const std::string& path, const wstr& folder) {
    std::string prefix = toUtf8(folder);
    return sameText(path.substr(0, prefix.size()), prefix) ? path.substr(prefix.size()) : path;
}

// Names each item's file and key, and lists the rejected and skipped
// sections; a rejection that fits no section is listed as the module wrote it.
void placeRecords(std::vector<DefinitionFile>& files, const std::vector<LogRecord>& records,
                  const wstr& folder, Report& report) {
    std::vector<const LogRecord*> rejections;
    for (const LogRecord& record : records)
        if (record.kind == LogRecord::Rejection) rejections.push_back(&record);
    std::vector<const LogRecord*> unplaced = placeRejections(files, rejections);

    std::vector<std::pair<const DefinitionFile*, const Section*>> accepted[2];
    for (const DefinitionFile& file : files)
        for (int s = 0; s < 2; ++s) {
            const Section& section = file.sections[s];
            Rejection rejection;
            rejection.file = toUtf8(file.path);
            rejection.section = kSections[s];
            if (section.present && !section.hasCategory) {
                rejection.reason = "no Category";
                rejection.hint =
                    "The module skips a section without Category (or with Category=-1) and "
                    "writes no record.";
            } else if (section.rejection) {
                rejection.reason = section.rejection->reason;
                rejection.message = section.rejection->message;
                if (rejection.reason == "bad path")
                    explainBadPath(section, section.rejection->command, rejection);
            } else {
                if (section.hasCategory) accepted[s].push_back({&file, &section});
                continue;
            }
            report.rejections.push_back(rejection);
        }
    for (const LogRecord* record : unplaced) {
        Rejection rejection;
        rejection.file = record->file;
        rejection.section = record->section;
        rejection.reason = record->reason;
        rejection.message = record->message;
        report.rejections.push_back(rejection);
    }

    for (int s = 0; s < 2; ++s) {
        std::vector<MenuItem*> items;
        for (MenuItem& item : report.items)
            if (item.list == kSections[s]) items.push_back(&item);
        if (items.size() != accepted[s].size() || !unplaced.empty()) {
            report.notes.push_back(std::string("The ") + kSections[s] +
                                   " sections found in the files do not match the items the "
                                   "module offers (were the files changed during the load?): "
                                   "their files are not named.");
            continue;
        }
        for (size_t i = 0; i < items.size(); ++i) {
            items[i]->file = fileName(toUtf8(accepted[s][i].first->path), folder);
            items[i]->menuString = toUtf8(accepted[s][i].second->menuString);
        }
    }
    for (Rejection& rejection : report.rejections)
        rejection.file = fileName(rejection.file, folder);
}

// ---- the load ---------------------------------------------------------------

// The records of this program; a line of no known shape may be anyone's and
// is kept too.
std::vector<LogRecord> ours(std::vector<LogRecord> records, const std::string& application) {
    records.erase(std::remove_if(
                      records.begin(), records.end(),
                      [&](const LogRecord& r) { return r.parsed && r.application != application; }),
                  records.end());
    return records;
}

void keepOther(const std::vector<LogRecord>& records, Report& report,
               std::initializer_list<LogRecord::Kind> known) {
    for (const LogRecord& record : records)
        if (std::find(known.begin(), known.end(), record.kind) == known.end())
            report.otherRecords.push_back(record.raw);
}

// The menu-text lookup of one item, from the records its query wrote.
void readLookup(const std::vector<LogRecord>& records, DWORD language, MenuItem& item,
                Report& report) {
    int misses = 0;
    bool missing = false;
    for (const LogRecord& record : records) {
        if (record.kind == LogRecord::MissInLanguage || record.kind == LogRecord::MissInPrimary)
            ++misses;
        else if (record.kind == LogRecord::TextMissing)
            missing = true;
    }
    keepOther(records, report,
              {LogRecord::MissInLanguage, LogRecord::MissInPrimary, LogRecord::TextMissing,
               LogRecord::Trace});
    const WORD id = LOWORD(language);
    if (missing) {
        item.lookup = "missing";
    } else if (misses == 0) {
        item.lookup = "language";
        // The language in exactly three digits: higher ones are cut off.
        item.lookupSection = hex(id & 0xFFF, 3);
    } else if (misses == 1) {
        item.lookup = "primary";
        // The primary language (the low 10 bits) in exactly two digits.
        item.lookupSection = hex(id & 0x3FF & 0xFF, 2);
    } else {
        item.lookup = "english";
        item.lookupSection = "0x09";
    }
    item.hasText = !missing;
}

// Asks for every item of both lists until the module answers that there is
// none, each in a record the host cleared; reads each query's records.
void askForItems(const HostFunctions& host, DWORD language, LogTail& log,
                 const std::string& application, Report& report) {
    host.getStatus(0, 0, 0);
    for (DWORD list = 0; list < 2; ++list) {
        DWORD position = 1;
        for (; position < 100; ++position) {
            FunctionInfo info;
            std::memset(&info, 0, sizeof info);
            info.functionId = list * 100 + position;
            DWORD size = sizeof info;
            DWORD code = host.getFunctionInfo(language, &info, &size);
            std::vector<LogRecord> records = ours(log.readNew(), application);
            if (code != 0) {
                keepOther(records, report, {LogRecord::Trace});
                if (code != 1)
                    report.notes.push_back("The module answered code " + std::to_string(code) +
                                           " for id " + std::to_string(info.functionId) + ".");
                break;
            }
            MenuItem item;
            item.id = info.functionId;
            item.list = kSections[list];
            item.categoryCode = info.categoryCode;
            item.dependency = info.dependency;
            item.menuType = info.menuType;
            item.execInterfaceType = info.execInterfaceType;
            item.menuText = toUtf8(info.menuText, std::char_traits<WCHAR>::length(info.menuText));
            item.command =
                toUtf8(info.execInterface, std::char_traits<WCHAR>::length(info.execInterface));
            if (host.getCapability(item.id, &item.capability) != 0)
                report.notes.push_back("The module gave no capability for id " +
                                       std::to_string(item.id) + ".");
            readLookup(records, language, item, report);
            report.items.push_back(item);
        }
        if (position == 100)
            report.notes.push_back(std::string("The ") + kSections[list] +
                                   " list answers all 99 ids a host can ask for; items past the "
                                   "99th are never offered.");
    }
}

// A temporary folder, removed with what it holds when the object goes.
struct TemporaryFolder {
    std::filesystem::path path;
    TemporaryFolder() {
        std::mt19937 random(std::random_device{}());
        for (int attempt = 0; attempt < 100 && path.empty(); ++attempt) {
            std::error_code error;
            std::filesystem::path candidate = std::filesystem::temp_directory_path(error) /
                                              ("hbc-host-" + std::to_string(random() % 1000000));
            if (!error && std::filesystem::create_directory(candidate, error)) path = candidate;
        }
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
};

std::string checkLogPath(const wstr& log) {
    bool drive = log.size() >= 3 && log[1] == TEXT(':') && log[2] == TEXT('\\');
    if (!drive)
        return "the log " + toUtf8(log) +
               " is not on a drive: the module writes its log only to a path such as "
               "C:\\logs\\hbc.log; name one with --log FILE";
    if (log.size() > kLongestLogPath)
        return "the log path " + toUtf8(log) + " is " + std::to_string(log.size()) +
               " characters long; the module reads at most " + std::to_string(kLongestLogPath) +
               ": name a shorter one with --log FILE";
    return "";
}

}  // namespace

std::string runSession(const Options& options, Report& report) {
    // Before anything asks the stand-in for its settings: the version the
    // module sees, and a drive for the log.
#ifndef _WIN32
    if (!options.osVersion.empty()) setenv("WIN32_POSIX_VERSION", options.osVersion.c_str(), 1);
#endif
    // The log: a temporary one, or the one named, which must lie on a drive.
    TemporaryFolder temporary;
    std::filesystem::path logFile;
    wstr logPath;
    if (options.logFile.empty()) {
        if (temporary.path.empty())
            return "cannot create a temporary folder for the module's log: name a log with "
                   "--log FILE";
        logFile = temporary.path / "log.txt";
        ensureDriveFor(temporary.path);
        logPath = windowsPathOf(logFile.u8string());
    } else if (writtenTheWindowsWay(options.logFile)) {
        logPath = windowsPathOf(options.logFile);
        logFile = fileSystemPath(logPath);
    } else {
        logFile = std::filesystem::absolute(std::filesystem::u8path(options.logFile));
        ensureDriveFor(logFile.parent_path());
        logPath = windowsPathOf(logFile.u8string());
    }

    // The module: named as a Windows path or a file-system path.
    std::filesystem::path module = options.modulePath.empty() ? programFolder() / kModuleFileName
                                   : writtenTheWindowsWay(options.modulePath)
                                       ? fileSystemPath(windowsPathOf(options.modulePath))
                                       : std::filesystem::u8path(options.modulePath);
    report.modulePath = module.u8string();
    std::error_code error;
    if (!std::filesystem::exists(module, error))
        return "no module " + report.modulePath +
               ": build tpa_hbc, or name the plug-in with --module PATH";
    if (std::filesystem::is_directory(module, error))
        return "--module " + report.modulePath + " is a folder: name the plug-in's file (" +
               kModuleFileName + ")";

    const wstr program = programPath();
    const std::string application = logApplicationName(program);
    if (application.empty())
        return "the module names its log records after this program's path, " + toUtf8(program) +
               ", and derives no name from it (128 characters or more, or a dot in a folder but "
               "none in the file name), so it would write no record: run hbc-host from another "
               "folder";

    if (std::string problem = checkLogPath(logPath); !problem.empty()) return problem;
    if (!options.logFile.empty() && !std::filesystem::is_directory(logFile.parent_path(), error))
        return "the folder of the log " + toUtf8(logPath) +
               " does not exist: create it, or name another log with --log FILE";
    report.logFile = options.logFile.empty() ? "" : toUtf8(logPath);

    // The folder, as the module will read it from the registry.
    wstr folder;
    if (!options.folder.empty()) {
        folder = windowsPathOf(options.folder);
        if (folder.empty() || folder.back() != TEXT('\\')) folder += TEXT('\\');
    } else if (!RegistryOverride::readString(HBC_ITEM_FOLDER_KEY, HBC_ITEM_FOLDER_VALUE, folder) ||
               folder.empty()) {
        return "no item folder: name one (hbc-host examples/items), or set the value IniFolder "
               "under HKEY_LOCAL_MACHINE\\" +
               toUtf8(HBC_ITEM_FOLDER_KEY);
    } else if (folder.back() != TEXT('\\')) {
        return "the registry's IniFolder " + toUtf8(folder) +
               " does not end with a backslash, so the module would search " + toUtf8(folder) +
               "*.ini: add the backslash, or name the folder on the command line";
    }
    report.folder = toUtf8(folder);
    const wstr expanded = expandEnvironment(folder);
    // The folder as the module sees it, and as the person typed it when the
    // two differ (on POSIX a plain path becomes a path on a drive).
    std::string named = "the item folder " + toUtf8(expanded);
    if (!options.folder.empty() && options.folder + "\\" != toUtf8(expanded) &&
        options.folder != toUtf8(expanded))
        named += " (given as " + options.folder + ")";
    bool isFolder = false;
    if (!pathExists(expanded, &isFolder))
        return named +
               " does not exist: name the folder that holds the item definition files (*.ini)";
    if (!isFolder)
        return named +
               " is a file, not a folder: name the folder that holds the item definition files";
    if (readDefinitionFiles(expanded).empty())
        return named + " holds no item definition files (*.ini): name the folder that holds them";

    report.windowsVersion = windowsVersion();
    report.language = options.language;

    // The settings the load needs, put back however it ends. A value named
    // after this program would override the detail and the output.
    RegistryOverride registry;
    if ((!options.folder.empty() &&
         !registry.setString(HBC_ITEM_FOLDER_KEY, HBC_ITEM_FOLDER_VALUE, folder)) ||
        !registry.setDword(kLogsKey, TEXT("Logging"), 1) ||
        !registry.setDword(kLogsKey, TEXT("LogDetail"), options.detail) ||
        !registry.setString(kLogsKey, TEXT("TextOutput"), logPath) ||
        !registry.remove(kLogsKey, fromUtf8(application)))
        return registry.error();

    LogTail log(logFile);
    std::vector<LogRecord> loadRecords;
    {
        LoadedModule loaded(report.modulePath);
        if (!loaded.loaded())
            return "cannot load the module " + report.modulePath + ": " + loaded.failure() +
                   "; name the tpa_hbc plug-in built for this platform with --module PATH";
        HostFunctions host = loaded.functions();
        if (const char* name = host.missing())
            return "the module " + report.modulePath + " lacks the export " + name +
                   ": it is not the tpa_hbc plug-in; name that with --module PATH";
        loadRecords = ours(log.readNew(), application);
        bool entered = std::any_of(loadRecords.begin(), loadRecords.end(), [](const LogRecord& r) {
            return r.kind == LogRecord::ModuleEntry;
        });
        if (!entered)
            return "the module wrote no record to its log " + toUtf8(logPath) +
                   " while loading, so its rejections cannot be read: check that the log's "
                   "folder can be written";
        askForItems(host, options.language, log, application, report);
    }
    std::vector<LogRecord> unloadRecords = ours(log.readNew(), application);
    registry.restore();

    std::vector<DefinitionFile> files = readDefinitionFiles(expanded);
    keepOther(
        loadRecords, report,
        {LogRecord::ModuleEntry, LogRecord::Rejection, LogRecord::IniIntMissing, LogRecord::Trace});
    keepOther(unloadRecords, report, {LogRecord::ModuleEntry, LogRecord::Trace});
    placeRecords(files, loadRecords, expanded, report);
    return "";
}
