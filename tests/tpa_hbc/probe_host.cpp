// probe_host.cpp - a minimal host for the tests: loads the module named on
// its command line, asks for every id in US English and prints the answers
// (host_answers.h) on standard output. A test runs it as a child process
// when the case needs a fresh process: another Windows version, another
// environment. Exit code 0, or 2 when the module cannot be loaded or lacks
// one of the three functions.
#include <cstdio>
#include <string>

#include "host_answers.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: probe_host <module>\n");
        return 2;
    }
    std::string text;
    {
        LoadedModule module(argv[1]);
        HostFunctions host = module.functions();
        if (!host.complete()) {
            std::fprintf(stderr, "probe_host: cannot load %s\n", argv[1]);
            return 2;
        }
        text = formatAnswers(queryAll(host, 0x0409));
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}
