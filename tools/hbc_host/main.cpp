// main.cpp - hbc-host: the HubConsole client's stand-in for item authors.
// Loads the tpa_hbc plug-in as the host does, prints the menu it offers for
// a folder of item definition files, and says why each section it left out
// was rejected. Exit status 0, 1 (--check found a problem), 2 (hbc-host
// could not do its work).
#include <cstdio>
#include <string>
#include <vector>

#include "options.h"
#include "report.h"
#include "session.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "utf.h"
#endif

namespace {

int run(const std::vector<std::string>& args) {
    Options options;
    if (std::optional<int> done = parseOptions(args, options)) return *done;
    Report report;
    std::string problem = runSession(options, report);
    if (!problem.empty()) {
        std::fprintf(stderr, "hbc-host: %s\n", problem.c_str());
        return 2;
    }
    std::string text = options.json ? formatJson(report) : formatTables(report);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return options.check && report.checkFails() ? 1 : 0;
}

}  // namespace

#ifdef _WIN32
// The arguments as UTF-16, so that every path reaches the tool whole; the
// output is UTF-8 with LF line ends, as on POSIX.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(toUtf8(argv[i], std::wcslen(argv[i])));
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
    return run(args);
}
#else
int main(int argc, char** argv) { return run(std::vector<std::string>(argv, argv + argc)); }
#endif
