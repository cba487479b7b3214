// catalogue_fixture.cpp - definition files from tables, the module loaded
// here or in a child process, and the byte-for-byte check of its answers.
#include "catalogue_fixture.h"

#include "child_process.h"

#include <cstdio>
#include <cstring>

FunctionInfo expectedRecord(DWORD id, const ExpectedItem* item) {
    FunctionInfo record;
    std::memset(&record, kHostFill, sizeof record);
    record.functionId = id;
    if (!item) return record;
    auto put = [](WCHAR* field, const std::string& text) {
        wstr units = W(text);
        std::memcpy(field, units.c_str(), (units.size() + 1) * sizeof(WCHAR));
    };
    record.categoryCode = item->categoryCode;
    record.dependency = 1000 + item->n;
    record.menuType = 2000 + item->n;
    if (!item->menuText.empty()) put(record.menuText, item->menuText);
    record.reservedText[0] = 0;
    record.execInterfaceType = 3000 + item->n;
    put(record.execInterface, item->command);
    return record;
}

namespace {

// The first byte where two records differ, as "offset N: got X, expected Y".
std::string firstDifference(const FunctionInfo& got, const FunctionInfo& expected) {
    const unsigned char* g = reinterpret_cast<const unsigned char*>(&got);
    const unsigned char* e = reinterpret_cast<const unsigned char*>(&expected);
    for (size_t i = 0; i < sizeof got; ++i)
        if (g[i] != e[i])
            return "offset " + std::to_string(i) + ": got " + std::to_string(g[i]) + ", expected " +
                   std::to_string(e[i]);
    return "none";
}

}  // namespace

void CatalogueTest::SetUp() {
    HbcTest::SetUp();
    if (HasFatalFailure()) return;
    std::filesystem::create_directories(fsPath("items"));
    std::filesystem::create_directories(fsPath("programs"));
    writeBytes(fsPath("programs/tool.exe"), "MZ");
    setFolderValue(itemsFolder().c_str());
}

std::string CatalogueTest::command(int n) const {
    return "\"" + program() + "\" /item " + std::to_string(n);
}

std::string CatalogueTest::section(const char* name, int n, const Edits& edits) const {
    // Every key, in the order the module reads them.
    const std::pair<const char*, std::string> keys[] = {
        {"Category", std::to_string(n)},
        {"XP", "1"},
        {"Vista", "1"},
        {"Dependency", std::to_string(1000 + n)},
        {"MenuType", std::to_string(2000 + n)},
        {"MenuString", "IDS_" + std::to_string(n)},
        {"ExecInterfaceType", std::to_string(3000 + n)},
        {"ExecInterface", command(n)},
        {"Capability", std::to_string(4000 + n)},
    };
    std::string text = std::string("[") + name + "]\r\n";
    for (const auto& [key, standard] : keys) {
        const char* value = standard.c_str();
        for (const auto& [editKey, editValue] : edits)
            if (std::string(editKey) == key) value = editValue;
        if (value) text += std::string(key) + "=" + value + "\r\n";
    }
    return text;
}

ExpectedItem CatalogueTest::item(int n) const { return {n, n < 100 ? n * 100 : n, command(n), ""}; }

void CatalogueTest::setFolderValue(const WCHAR* value) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, HBC_ITEM_FOLDER_KEY, 0, KEY_ALL_ACCESS, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueW(key, HBC_ITEM_FOLDER_VALUE);
        RegCloseKey(key);
    }
    if (value) regSetString(HKEY_LOCAL_MACHINE, HBC_ITEM_FOLDER_KEY, HBC_ITEM_FOLDER_VALUE, value);
}

void CatalogueTest::writeStrings(const std::filesystem::path& definition,
                                 const std::vector<int>& items) {
    std::string text = "[0x09]\r\n";
    for (int n : items) text += "IDS_" + std::to_string(n) + "=Item " + std::to_string(n) + "\r\n";
    writeBytes(definition.string() + ".strings", text);
}

std::vector<std::string> CatalogueTest::searchOrder(const wstr& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        names.push_back(U8(entry.cFileName));
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

HostAnswers CatalogueTest::loadAndAsk() {
    LoadedModule module(HBC_MODULE_PATH);
    HostFunctions host = module.functions();
    EXPECT_TRUE(host.complete()) << HBC_MODULE_PATH;
    if (!host.complete()) return HostAnswers();
    return queryAll(host, 0x0409);
}

HostAnswers CatalogueTest::askInChild() {
    HostAnswers answers;
    std::string output;
    std::string commandLine = std::string(HBC_PROBE_HOST) + " " + HBC_PROBE_MODULE;
#ifdef _WIN32
    for (char& c : commandLine)
        if (c == '/') c = '\\';
#endif
    int status = runCommandLine(commandLine, output);
    EXPECT_EQ(0, status) << output;
    EXPECT_TRUE(parseAnswers(output, answers)) << output.substr(0, 200);
    return answers;
}

std::vector<std::string> CatalogueTest::logMessages() const {
    std::vector<std::string> messages;
    for (const std::string& line : logLines()) {
        size_t first = line.find('"');
        size_t last = line.rfind('"');
        if (first != std::string::npos && last > first)
            messages.push_back(line.substr(first + 1, last - first - 1));
    }
    return messages;
}

void expectCatalogue(const HostAnswers& answers, const std::vector<ExpectedItem>& quick,
                     const std::vector<ExpectedItem>& toolkit) {
    EXPECT_EQ(1u, answers.status);
    if (answers.byId.empty()) {
        ADD_FAILURE() << "no answers";
        return;
    }
    for (const auto& [id, answer] : answers.byId) {
        const std::vector<ExpectedItem>* list = id / 100 == 0   ? &quick
                                                : id / 100 == 1 ? &toolkit
                                                                : nullptr;
        size_t position = id % 100;
        DWORD code = !list ? 2 : position > list->size() || list->empty() ? 1 : 0;
        const ExpectedItem* item = code ? nullptr : &(*list)[position == 0 ? 0 : position - 1];
        SCOPED_TRACE("id " + std::to_string(id) +
                     (item ? ": item " + std::to_string(item->n) : ""));
        EXPECT_EQ(code, answer.infoCode);
        EXPECT_EQ(code, answer.capabilityCode);
        EXPECT_EQ(item ? 4000 + item->n : kCapabilityUntouched, answer.capability);
        FunctionInfo expected = expectedRecord(id, item);
        EXPECT_EQ(0, std::memcmp(&expected, &answer.record, sizeof expected))
            << firstDifference(answer.record, expected);
    }
}
