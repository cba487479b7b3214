// module_bench.cpp - the plug-in as a host uses it, natively: loading the
// module (process attach builds the catalogue) against reading each
// definition file once, and the menu query against one stat of the strings
// file. Logging is off ("Logging" 0) unless a row says otherwise.
#include <dlfcn.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "bench_api.h"
#include "bench_registry.h"
#include "bench_support.h"
#include "tpa_hbc.h"

namespace {

const wstr kItemFolderKey = HBC_ITEM_FOLDER_KEY;

// One definition file: a QUICKLINK and a TOOLKIT section, both valid.
std::string definition(int number, const std::string& program) {
    char id[16];
    std::snprintf(id, sizeof id, "%05d", number);
    std::string text;
    for (const char* kind : {"QUICKLINK", "TOOLKIT"}) {
        text += std::string("[") + kind + "]\r\n";
        text += "Category=2\r\nXP=1\r\nVista=1\r\nDependency=0\r\nMenuType=1\r\n";
        text += std::string("MenuString=IDS_") + kind + id + "\r\n";
        text += "ExecInterfaceType=1\r\n";
        text += "ExecInterface=\"" + program + "\" /item " + id + "\r\n";
        text += "Capability=0\r\n";
    }
    return text;
}

// The program every item names, in a small folder of its own.
std::string programPath() {
    static const std::string path = [] {
        writeFile(scratchPath("bin/tool.exe"), "tool");
        std::string win;
        for (WCHAR c : scratchWinPath("bin\\tool.exe")) win.push_back(static_cast<char>(c));
        return win;
    }();
    return path;
}

struct ItemFolder {
    wstr winFolder;                          // with its final backslash
    std::vector<std::string> files;          // the definition files, file-system names
    size_t pathBytes = 0;                    // the catalogue's path strings, terminators included
};

// The folder of `n` definition files (items<n>), made once.
const ItemFolder& itemFolder(int n) {
    static std::map<int, ItemFolder> folders;
    auto found = folders.find(n);
    if (found != folders.end()) return found->second;
    ItemFolder folder;
    std::string name = "items" + std::to_string(n);
    folder.winFolder = scratchWinPath(name) + TEXT("\\");
    for (int i = 1; i <= n; ++i) {
        char file[32];
        std::snprintf(file, sizeof file, "item%05d.ini", i);
        std::filesystem::path path = scratchPath(name + "/" + file);
        writeFile(path, definition(i, programPath()));
        ageFile(path);
        folder.files.push_back(path.string());
        folder.pathBytes += (folder.winFolder.size() + std::strlen(file) + 1) * sizeof(WCHAR);
    }
    return folders.emplace(n, std::move(folder)).first->second;
}

// The one-item folder of the query rows, with its strings file: the text is
// found in [0x409] for 0x0409, in [0x0C] for 0x080C, in [0x09] for 0x0407.
const ItemFolder& queryFolder() {
    static const ItemFolder& folder = [&]() -> const ItemFolder& {
        const ItemFolder& made = itemFolder(1);
        std::string strings;
        for (int s = 0; s < 8; ++s) strings += "[0x4" + std::to_string(s) + "1]\r\nIDS_OTHER=Other\r\n";
        strings += "[0x409]\r\nIDS_QUICKLINK00001=Notes (US)\r\n";
        strings += "[0x0C]\r\nIDS_QUICKLINK00001=Notes (fr)\r\n";
        strings += "[0x09]\r\nIDS_QUICKLINK00001=Notes\r\n";
        std::string path = made.files[0] + ".strings";
        writeFile(path, strings);
        ageFile(path);
        return made;
    }();
    return folder;
}

std::string modulePath() { return HBC_MODULE_PATH; }

// The loaded plug-in, unloaded when the object goes.
class Module {
public:
    Module() : m_handle(LoadLibraryW(widen(modulePath()).c_str())) {}
    ~Module() {
        if (m_handle) FreeLibrary(m_handle);
    }
    bool loaded() const { return m_handle != nullptr; }
    template <class F>
    F* get(const char* name) const {
        return reinterpret_cast<F*>(reinterpret_cast<void*>(GetProcAddress(m_handle, name)));
    }

private:
    HMODULE m_handle;
};

using GetInfo = DWORD WINAPI(DWORD, FunctionInfo*, DWORD*);
using GetCapability = DWORD WINAPI(DWORD, LONG*);

// True when the catalogue holds the first and (with 99 files or more) the
// 99th item of each list: every file was read and accepted.
bool catalogueBuilt(const Module& module, int n) {
    auto* capability = module.get<GetCapability>("HB_GetCapability");
    LONG value = -1;
    for (DWORD id : {1u, 101u, n >= 99 ? 99u : 1u, n >= 99 ? 199u : 101u})
        if (!capability || capability(id, &value) != HBC_OK) return false;
    return true;
}

size_t heapInUse() { return mallinfo2().uordblks; }

void load(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    RegistryScope registry(state.range(1) != 0);
    const ItemFolder& folder = itemFolder(n);
    if (!setString(kItemFolderKey, TEXT("IniFolder"), folder.winFolder) || !loggingOff())
        return state.SkipWithError("the registry refused the settings");
    bool first = true;
    for (auto _ : state) {
        size_t before = heapInUse();
        auto* module = new Module();
        state.PauseTiming();
        if (first) {
            first = false;
            if (!module->loaded() || !catalogueBuilt(*module, n)) {
                delete module;
                state.ResumeTiming();
                state.SkipWithError("the module did not load its catalogue");
                break;
            }
            // The heap the loaded module holds, beyond its path strings, per item.
            double perItem = (static_cast<double>(heapInUse()) - static_cast<double>(before) -
                              static_cast<double>(folder.pathBytes)) /
                             (2.0 * n);
            state.counters["heap_per_item"] = perItem;
        }
        delete module;
        state.ResumeTiming();
    }
}

// The floor: open, read and close each definition file once.
void readOnce(benchmark::State& state) {
    const ItemFolder& folder = itemFolder(static_cast<int>(state.range(0)));
    char buffer[4096];
    for (auto _ : state) {
        for (const std::string& file : folder.files) {
            int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
            while (::read(fd, buffer, sizeof buffer) > 0) {
            }
            ::close(fd);
        }
    }
}

void query(benchmark::State& state) {
    const int tries = static_cast<int>(state.range(0));
    RegistryScope registry(state.range(1) != 0);
    const ItemFolder& folder = queryFolder();
    if (!setString(kItemFolderKey, TEXT("IniFolder"), folder.winFolder) || !loggingOff())
        return state.SkipWithError("the registry refused the settings");
    Module module;
    auto* getInfo = module.get<GetInfo>("HB_GetFunctionInfo");
    if (!getInfo) return state.SkipWithError("the module did not load");
    const DWORD language = tries == 1 ? 0x0409 : tries == 2 ? 0x080C : 0x0407;
    const wstr expected = tries == 1 ? TEXT("Notes (US)") : tries == 2 ? TEXT("Notes (fr)") : TEXT("Notes");
    FunctionInfo info{};
    info.functionId = 1;
    DWORD size = sizeof info;
    for (auto _ : state) {
        DWORD rc = getInfo(language, &info, &size);
        benchmark::DoNotOptimize(rc);
    }
    if (expected != info.menuText) state.SkipWithError("the query did not find the menu text");
}

// The floor of a query: one stat of the strings file.
void statStrings(benchmark::State& state) {
    std::string path = queryFolder().files[0] + ".strings";
    struct stat st;
    for (auto _ : state) benchmark::DoNotOptimize(::stat(path.c_str(), &st));
}

}  // namespace

void registerModuleBenchmarks() {
    // The files are written now, so that they have settled when the rows run.
    queryFolder();
    for (int n : {100, 1000, 10000}) {
        itemFolder(n);
        benchmark::RegisterBenchmark("load", load)->Args({n, 0})->ArgNames({"files", "registry_file"})
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("read_once", readOnce)->Arg(n)->ArgName("files")
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("query", query)
        ->ArgsProduct({{1, 2, 3}, {0, 1}})->ArgNames({"try", "registry_file"})
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("stat_strings_file", statStrings)->Unit(benchmark::kMicrosecond);
}
