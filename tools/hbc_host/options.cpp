// options.cpp - hbc-host's command line, read with CLI11; the values that
// need a rule of their own (language, Windows version, detail mask) are
// checked here, so that each bad value gets a line saying what is expected.
#include "options.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>

#ifndef HBC_HOST_VERSION
#define HBC_HOST_VERSION "0.0.0"
#endif
const char* const kHbcHostVersion = HBC_HOST_VERSION;

namespace {

// A whole number, decimal or "0x" hexadecimal, at most `largest`.
bool parseNumber(const std::string& text, unsigned long largest, DWORD& value) {
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 8 ||
        digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
            std::string::npos)
        return false;
    unsigned long number = std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10);
    if (number > largest) return false;
    value = static_cast<DWORD>(number);
    return true;
}

int refuse(const std::string& line) {
    std::fprintf(stderr, "hbc-host: %s\n", line.c_str());
    return 2;
}

}  // namespace

bool parseLanguage(const std::string& text, DWORD& language) {
    return parseNumber(text, 0xFFFF, language);
}

bool parseWindowsVersion(const std::string& text, std::string& majorMinor) {
    static const struct {
        const char* name;
        const char* version;
    } names[] = {{"xp", "5.1"}, {"vista", "6.0"}, {"7", "6.1"}, {"10", "10.0"}};
    for (const auto& name : names)
        if (text == name.name) {
            majorMinor = name.version;
            return true;
        }
    size_t dot = text.find('.');
    DWORD major = 0, minor = 0;
    if (dot == std::string::npos || text.compare(0, 2, "0x") == 0 ||
        !parseNumber(text.substr(0, dot), 255, major) || text.compare(dot + 1, 2, "0x") == 0 ||
        !parseNumber(text.substr(dot + 1), 255, minor))
        return false;
    majorMinor = std::to_string(major) + "." + std::to_string(minor);
    return true;
}

std::optional<int> parseOptions(const std::vector<std::string>& args, Options& options) {
    CLI::App app{
        "Loads the tpa_hbc plug-in as the HubConsole client does and prints the menu it\n"
        "offers for the item definition files of a folder, then the sections it rejected\n"
        "(from the module's own log) and the menu texts it could not find in the host's\n"
        "language.",
        "hbc-host"};
    std::string language, os, detail;
    app.add_option("folder", options.folder,
                   "the folder of the item definition files (*.ini), written to the registry "
                   "value IniFolder for the load; without it, the IniFolder already set");
    app.add_option("--lang", language,
                   "the host's language identifier, 0x409 or 1033 (default 0x409)");
    app.add_option("--os", os,
                   "the Windows version the module sees: xp, vista, 7, 10 or MAJOR.MINOR "
                   "(Linux only; Windows reports its own)");
    app.add_flag("--json", options.json, "print one JSON document instead of tables");
    app.add_option("--log", options.logFile,
                   "keep the module's log in FILE (appended); default: a temporary log");
    app.add_option("--detail", detail,
                   "the log's LogDetail mask (default 59: errors, warnings and DEBUG); "
                   "EXCEPTION_BAD and DEBUG are always added");
    app.add_option("--module", options.modulePath,
                   "the plug-in to load (default: tpa_hbc beside hbc-host)");
    app.add_flag("--check", options.check,
                 "exit status 1 when a section was rejected or a menu text is missing");
    app.set_version_flag("--version", std::string("hbc-host ") + kHbcHostVersion);
    app.footer(
        "Exit status: 0 the menu was printed; 1 (with --check) a section was rejected or a\n"
        "menu text is missing; 2 the tool could not do its work (a bad option, no folder,\n"
        "no module).");

    std::vector<std::string> reversed(args.rbegin(), args.rend() - 1);
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    } catch (const CLI::CallForVersion&) {
        std::printf("hbc-host %s\n", kHbcHostVersion);
        return 0;
    } catch (const CLI::ParseError& e) {
        return refuse(std::string(e.what()) + "; see hbc-host --help");
    }

    if (!language.empty() && !parseLanguage(language, options.language))
        return refuse("--lang \"" + language +
                      "\": expected a language identifier, hexadecimal (0x40C) or decimal "
                      "(1036), at most 0xFFFF");
    if (!os.empty()) {
#ifdef _WIN32
        return refuse(
            "--os is refused on Windows: the module asks Windows for its version; run hbc-host "
            "on that version of Windows (under Wine, set the version with winecfg)");
#else
        if (!parseWindowsVersion(os, options.osVersion))
            return refuse("--os \"" + os +
                          "\": expected xp, vista, 7, 10 or MAJOR.MINOR such as 6.1");
#endif
    }
    if (!detail.empty() && !parseNumber(detail, 0xFFFF, options.detail))
        return refuse("--detail \"" + detail +
                      "\": expected a LogDetail mask, decimal (795) or hexadecimal (0x31B), at "
                      "most 0xFFFF");
    options.detail |= kNeededDetail;
    return std::nullopt;
}
