// registry_override.cpp - registry values set for a while and put back.
#include "registry_override.h"

#include <algorithm>

namespace {

const wstr kMachine = TEXT("HKEY_LOCAL_MACHINE\\");

// An open key of HKEY_LOCAL_MACHINE, closed when the object goes.
struct Key {
    HKEY handle = nullptr;
    ~Key() {
        if (handle) RegCloseKey(handle);
    }
    LONG open(const wstr& path, REGSAM access) {
        return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &handle);
    }
};

bool keyExists(const wstr& path) { return Key().open(path, KEY_READ) == ERROR_SUCCESS; }

bool keyIsEmpty(const wstr& path) {
    Key key;
    DWORD subkeys = 1, values = 1;
    return key.open(path, KEY_READ) == ERROR_SUCCESS &&
           RegQueryInfoKeyW(key.handle, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                            &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys == 0 && values == 0;
}

std::string describe(LONG code) {
    switch (code) {
        case ERROR_ACCESS_DENIED:
            return "access is denied (error 5): run hbc-host as an administrator";
        default:
            return "error " + std::to_string(code);
    }
}

}  // namespace

bool RegistryOverride::fail(const std::string& what, const wstr& key, LONG code) {
    m_error = "cannot " + what + " " + toUtf8(kMachine + key) + ": " + describe(code);
    return false;
}

bool RegistryOverride::save(const wstr& key, const wstr& name) {
    for (const Saved& saved : m_saved)
        if (saved.key == key && saved.name == name) return true;
    // The keys of the path that do not exist yet, parents first.
    for (size_t end = 0; end != wstr::npos;) {
        end = key.find(TEXT('\\'), end + 1);
        wstr prefix = key.substr(0, end);
        if (std::find(m_createdKeys.begin(), m_createdKeys.end(), prefix) == m_createdKeys.end() &&
            !keyExists(prefix))
            m_createdKeys.push_back(prefix);
    }
    Saved saved;
    saved.key = key;
    saved.name = name;
    Key open;
    if (open.open(key, KEY_READ) == ERROR_SUCCESS) {
        DWORD size = 0;
        LONG rc = RegQueryValueExW(open.handle, name.c_str(), nullptr, &saved.type, nullptr, &size);
        if (rc == ERROR_SUCCESS) {
            saved.data.resize(size);
            rc = RegQueryValueExW(open.handle, name.c_str(), nullptr, &saved.type,
                                  saved.data.empty() ? nullptr : saved.data.data(), &size);
            if (rc != ERROR_SUCCESS) return fail("read " + toUtf8(name) + " of", key, rc);
            saved.data.resize(size);
            saved.existed = true;
        } else if (rc != ERROR_FILE_NOT_FOUND) {
            return fail("read " + toUtf8(name) + " of", key, rc);
        }
    }
    m_saved.push_back(saved);
    return true;
}

bool RegistryOverride::write(const wstr& key, const wstr& name, DWORD type, const BYTE* data,
                             DWORD size) {
    if (!save(key, name)) return false;
    Key open;
    LONG rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &open.handle, nullptr);
    if (rc != ERROR_SUCCESS) return fail("create the key", key, rc);
    rc = RegSetValueExW(open.handle, name.c_str(), 0, type, data, size);
    if (rc != ERROR_SUCCESS) return fail("write the value " + toUtf8(name) + " of", key, rc);
    return true;
}

bool RegistryOverride::setString(const wstr& key, const wstr& name, const wstr& value) {
    return write(key, name, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR)));
}

bool RegistryOverride::setDword(const wstr& key, const wstr& name, DWORD value) {
    BYTE bytes[4] = {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)};
    return write(key, name, REG_DWORD, bytes, 4);
}

bool RegistryOverride::remove(const wstr& key, const wstr& name) {
    if (!save(key, name)) return false;
    Key open;
    LONG rc = open.open(key, KEY_SET_VALUE);
    if (rc == ERROR_FILE_NOT_FOUND) return true;
    if (rc == ERROR_SUCCESS) rc = RegDeleteValueW(open.handle, name.c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
        return fail("remove the value " + toUtf8(name) + " of", key, rc);
    return true;
}

bool RegistryOverride::readString(const wstr& key, const wstr& name, wstr& value) {
    Key open;
    DWORD type = 0, size = 0;
    if (open.open(key, KEY_READ) != ERROR_SUCCESS ||
        RegQueryValueExW(open.handle, name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    std::vector<BYTE> data(size + sizeof(WCHAR), 0);
    if (RegQueryValueExW(open.handle, name.c_str(), nullptr, &type, data.data(), &size) !=
        ERROR_SUCCESS)
        return false;
    value.assign(reinterpret_cast<const WCHAR*>(data.data()), size / sizeof(WCHAR));
    while (!value.empty() && value.back() == 0) value.pop_back();
    return true;
}

bool RegistryOverride::restore() {
    bool ok = true;
    for (auto saved = m_saved.rbegin(); saved != m_saved.rend(); ++saved) {
        Key open;
        if (open.open(saved->key, KEY_SET_VALUE) != ERROR_SUCCESS) continue;
        LONG rc = saved->existed
                      ? RegSetValueExW(open.handle, saved->name.c_str(), 0, saved->type,
                                       saved->data.data(), static_cast<DWORD>(saved->data.size()))
                      : RegDeleteValueW(open.handle, saved->name.c_str());
        ok = ok && (rc == ERROR_SUCCESS || (!saved->existed && rc == ERROR_FILE_NOT_FOUND));
    }
    // The keys this object created, deepest first, as long as they are empty
    // (another program may have put something there meanwhile).
    for (auto key = m_createdKeys.rbegin(); key != m_createdKeys.rend(); ++key)
        if (keyIsEmpty(*key)) RegDeleteKeyW(HKEY_LOCAL_MACHINE, key->c_str());
    m_saved.clear();
    m_createdKeys.clear();
    return ok;
}
