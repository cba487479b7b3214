// catalogue_fixture.h - the catalogue as a host sees it: a folder of item
// definition files written from compact tables, the registry value that
// names it, the built module loaded into this process or into a child
// process (probe_host), and every answer checked byte for byte.
#ifndef CATALOGUE_FIXTURE_H
#define CATALOGUE_FIXTURE_H

#include <string>
#include <utility>
#include <vector>

#include "hbc_test.h"
#include "host_answers.h"

// Keys of a section to change: a new value, or nullptr to leave the key out.
using Edits = std::vector<std::pair<const char*, const char*>>;

// What the host should get for item n: its values derive from n (Dependency
// 1000 + n, MenuType 2000 + n, ExecInterfaceType 3000 + n, Capability
// 4000 + n, MenuString IDS_<n>), its category code and command as given.
struct ExpectedItem {
    int n;
    LONG categoryCode;
    std::string command;   // as the host gets it: expanded
    std::string menuText;  // empty: no text found, the host's bytes stay
};

class CatalogueTest : public HbcTest {
protected:
    void SetUp() override;

    // The items folder, as the registry value names it by default (with its
    // trailing backslash), and a file in it.
    wstr itemsFolder() const { return winPath("items") + TEXT("\\"); }
    std::filesystem::path itemPath(const std::string& name) const {
        return fsPath("items/" + name);
    }
    // The program every command starts, and item n's command line.
    std::string program() const { return U8(winPath("programs\\tool.exe")); }
    std::string command(int n) const;

    // Section `name` of item n with Category n and every key present, then
    // `edits` applied.
    std::string section(const char* name, int n, const Edits& edits = {}) const;
    // Item n as accepted, with Category n.
    ExpectedItem item(int n) const;

    // The registry value that names the folder; nullptr removes it.
    void setFolderValue(const WCHAR* value);
    // The strings file of a definition file, with the English text
    // "Item <n>" for each n.
    void writeStrings(const std::filesystem::path& definition, const std::vector<int>& items);
    // The names of the entries a search for `pattern` finds, in its order.
    static std::vector<std::string> searchOrder(const wstr& pattern);

    // Loads the built module into this process, asks for every id in US
    // English, and unloads it.
    HostAnswers loadAndAsk();
    // The same in a child process (probe_host), which starts with this
    // process's environment, current folder and registry.
    HostAnswers askInChild();

    // The message of every record in the log, in order.
    std::vector<std::string> logMessages() const;
};

// The record the host should hold after asking for `id`: its own bytes,
// with the item's fields and texts (each with its terminator) written over
// them; nullptr: nothing written.
FunctionInfo expectedRecord(DWORD id, const ExpectedItem* item);

// Checks every answer: list 0 holds `quick` and list 1 `toolkit`, in this
// order; each record byte for byte, the host's bytes kept wherever the
// module has nothing to write.
void expectCatalogue(const HostAnswers& answers, const std::vector<ExpectedItem>& quick,
                     const std::vector<ExpectedItem>& toolkit);

#endif
