/*
 * env_defaults.cpp - Windows' usual environment variables and their values.
 *
 * The table below is what a process finds when its POSIX environment does not
 * already have the name (D is the system drive, W the Windows directory, U the
 * user name). Wine's values (win32-behaviour ED-1) differ only in spelling
 * (C:\windows, C:\users\U, TEMP=C:\users\U\Temp); these follow Windows 10.
 *
 *   SystemDrive              SystemDrive of the process if it is "X:", else the
 *                            drive of its SystemRoot (or windir), else C:
 *   SystemRoot, windir       SystemRoot (or windir) of the process, else D\Windows
 *   ComSpec                  W\system32\cmd.exe
 *   OS                       Windows_NT
 *   PATHEXT                  .COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC
 *   ProgramFiles             D\Program Files
 *   CommonProgramFiles       D\Program Files\Common Files
 *   ProgramFiles(x86)        D\Program Files (x86)                 64-bit process
 *   CommonProgramFiles(x86)  D\Program Files (x86)\Common Files    64-bit process
 *   ProgramW6432             D\Program Files                       64-bit process
 *   CommonProgramW6432       D\Program Files\Common Files          64-bit process
 *   ProgramData              D\ProgramData
 *   ALLUSERSPROFILE          D\ProgramData
 *   PUBLIC                   D\Users\Public
 *   USERNAME                 the POSIX login name
 *   USERPROFILE              D\Users\U
 *   HOMEDRIVE, HOMEPATH      D and \Users\U
 *   APPDATA                  D\Users\U\AppData\Roaming
 *   LOCALAPPDATA             D\Users\U\AppData\Local
 *   TEMP, TMP                the other one when the process has it; else the
 *                            POSIX temporary folder (TMPDIR, else /tmp) as a
 *                            Windows path through the drive mapping, so that
 *                            files put there really exist; else W\Temp
 *   COMPUTERNAME, USERDOMAIN the host name before its first dot, upper case,
 *                            at most 15 characters (as Windows' NetBIOS name)
 *   NUMBER_OF_PROCESSORS     the processors online
 *   PROCESSOR_ARCHITECTURE   AMD64, ARM64 or x86, after the process's own
 *
 * PATH is left as the POSIX host has it: child processes need it as it is.
 * A 32-bit native build is taken as a process on 32-bit Windows, which has
 * no (x86) or W6432 variables.
 */
#include "env_defaults.h"

#include <string>

namespace w32p {

namespace {

bool isSeparator(WCHAR c) { return c == u'\\' || c == u'/'; }

bool isDriveLetter(WCHAR c) {
    WCHAR up = upcase(c);
    return up >= u'A' && up <= u'Z';
}

bool isDrive(wstring_view text) {
    return text.size() == 2 && isDriveLetter(text[0]) && text[1] == u':';
}

wstring valueOr(const EnvPresent& present, const char16_t* name, const wstring& fallback) {
    wstring value;
    if (present(name, value) && !value.empty()) return value;
    return fallback;
}

wstring fromAscii(const std::string& text) { return wstring(text.begin(), text.end()); }

}  // namespace

wstring windowsDirectoryFrom(wstring_view systemRoot) {
    size_t rootLength;
    if (systemRoot.size() >= 3 && isDriveLetter(systemRoot[0]) && systemRoot[1] == u':' &&
        isSeparator(systemRoot[2])) {
        rootLength = 3;
    } else if (!systemRoot.empty() && isSeparator(systemRoot[0]) &&
               !(systemRoot.size() > 1 && isSeparator(systemRoot[1]))) {
        rootLength = 1;
    } else {
        return wstring();
    }
    wstring dir(systemRoot);
    while (dir.size() > rootLength && isSeparator(dir.back())) dir.pop_back();
    return dir;
}

wstring computerNameFrom(wstring_view hostName) {
    wstring name(hostName.substr(0, hostName.find(u'.')));
    if (name.size() > 15) name.resize(15);
    for (WCHAR& c : name) c = upcase(c);
    return name.empty() ? wstring(u"WINHOST") : name;
}

std::vector<std::pair<wstring, wstring>> defaultVariables(const HostFacts& facts,
                                                          const EnvPresent& present) {
    wstring windowsDir = windowsDirectoryFrom(valueOr(present, u"SystemRoot", wstring()));
    if (windowsDir.empty()) windowsDir = windowsDirectoryFrom(valueOr(present, u"windir", wstring()));

    wstring drive = valueOr(present, u"SystemDrive", wstring());
    if (!isDrive(drive)) {
        drive = windowsDir.size() >= 2 && windowsDir[1] == u':' ? windowsDir.substr(0, 2)
                                                                : wstring(u"C:");
    }
    if (windowsDir.empty()) windowsDir = drive + u"\\Windows";

    const wstring user =
        valueOr(present, u"USERNAME", facts.userName.empty() ? wstring(u"user") : facts.userName);
    const wstring usersPath = u"\\Users\\" + user;
    const wstring profile = drive + usersPath;
    const wstring computer = valueOr(present, u"COMPUTERNAME", computerNameFrom(facts.hostName));

    wstring temp = valueOr(present, u"TEMP", valueOr(present, u"TMP", facts.tempFolder));
    if (temp.empty()) temp = windowsDir + u"\\Temp";

    const wstring programFiles = drive + u"\\Program Files";
    const wstring programFilesX86 = drive + u"\\Program Files (x86)";
    const wstring common = u"\\Common Files";

    std::vector<std::pair<wstring, wstring>> table = {
        {u"SystemDrive", drive},
        {u"SystemRoot", windowsDir},
        {u"windir", windowsDir},
        {u"ComSpec", windowsDir + u"\\system32\\cmd.exe"},
        {u"OS", u"Windows_NT"},
        {u"PATHEXT", u".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC"},
        {u"ProgramFiles", programFiles},
        {u"CommonProgramFiles", programFiles + common},
        {u"ProgramData", drive + u"\\ProgramData"},
        {u"ALLUSERSPROFILE", drive + u"\\ProgramData"},
        {u"PUBLIC", drive + u"\\Users\\Public"},
        {u"USERNAME", user},
        {u"USERPROFILE", profile},
        {u"HOMEDRIVE", drive},
        {u"HOMEPATH", usersPath},
        {u"APPDATA", profile + u"\\AppData\\Roaming"},
        {u"LOCALAPPDATA", profile + u"\\AppData\\Local"},
        {u"TEMP", temp},
        {u"TMP", temp},
        {u"COMPUTERNAME", computer},
        {u"USERDOMAIN", computer},
        {u"NUMBER_OF_PROCESSORS", fromAscii(std::to_string(facts.processors ? facts.processors : 1))},
        {u"PROCESSOR_ARCHITECTURE", facts.architecture.empty() ? wstring(u"x86") : facts.architecture},
    };
    if (facts.process64) {
        table.push_back({u"ProgramFiles(x86)", programFilesX86});
        table.push_back({u"CommonProgramFiles(x86)", programFilesX86 + common});
        table.push_back({u"ProgramW6432", programFiles});
        table.push_back({u"CommonProgramW6432", programFiles + common});
    }
    return table;
}

}  // namespace w32p
