// zyn_directory.h - CZYNDirectory: a directory name, the question whether it
// names an existing directory, and the creation of that directory with all
// its missing parents.
//
// Every operation is traced (object "CZYNDirectory") except createDirectory,
// catches its own failures, writes them to the log and answers false. A name
// that cannot be taken is written to the log and the object stays usable.
#ifndef ZYN_DIRECTORY_H
#define ZYN_DIRECTORY_H

#include <windows.h>

#include "zyn_wchar_string.h"

class CZYNDirectory {
public:
    explicit CZYNDirectory(const CZYNWCharString& szDirectoryName);
    ~CZYNDirectory();
    CZYNDirectory(const CZYNDirectory&) = delete;
    CZYNDirectory& operator=(const CZYNDirectory&) = delete;

    // Takes the name; false when it cannot be copied.
    bool setDirectoryName(const CZYNWCharString& szDirectoryName);
    // isValidWindowsDirectory of the object's name.
    bool isValidDirectory();
    // True when the name is an existing directory. "C:" and "C:\" are
    // searched as "C:\*", and a name ending in "\" through its contents. A
    // name shorter than two characters is refused with an index record.
    bool isValidWindowsDirectory(const CZYNWCharString& szName) const;
    // Creates the directory and every missing parent, level by level. True
    // when at least one directory was created; false when the directory
    // existed already, or when a level could not be created (the levels
    // created before it stay).
    bool createDirectory();

    const CZYNWCharString& getDirectoryName() const { return m_szDirectoryName; }

private:
    CZYNWCharString m_szDirectoryName;  // the name as passed in
};

#endif
