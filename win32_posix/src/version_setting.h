/*
 * version_setting.h - the Windows version that GetVersionExW reports, as
 * WIN32_POSIX_VERSION gives it. Pure: version.cpp reads the variable.
 *
 *   parseVersionSetting   "MAJOR.MINOR" with an optional service pack, "5.1sp3"
 *   buildNumberOf         the build Windows reports for a version
 */
#ifndef WIN32_POSIX_VERSION_SETTING_H
#define WIN32_POSIX_VERSION_SETTING_H

#include <string>
#include <string_view>

#include "../include/windows.h"

namespace w32p {

struct WindowsVersion {
    DWORD major = 10;
    DWORD minor = 0;
    DWORD servicePack = 0;
};

// Reads a version setting: a major and a minor version number joined by a
// dot, optionally followed by "sp" (in any case) and a service pack number;
// each number 0 to 255. An empty text is the default, Windows 10 (10.0).
// A malformed text leaves `version` at the default, returns false and says
// in `problem` what is wrong with it.
bool parseVersionSetting(std::string_view text, WindowsVersion& version, std::string& problem);

// The build number that version of Windows reports with that service pack:
// 2195 for 5.0, 2600 for 5.1, 3790 for 5.2, 6000 to 6002 for 6.0 (by
// service pack), 7600 and 7601 for 6.1, 9200 for 6.2, 9600 for 6.3, 19045
// (22H2) for 10.0, 1381 for 4.0; 0 for a version Windows never had.
DWORD buildNumberOf(const WindowsVersion& version);

}  // namespace w32p

#endif
