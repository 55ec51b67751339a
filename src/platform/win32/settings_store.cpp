#include "platform/settings_store.h"

#include <windows.h>

#include <cstring>

namespace vesk::platform {
namespace {

constexpr const char* kCurrentUser = "HKEY_CURRENT_USER\\";

std::string SystemError(const std::string& what, LONG code) { return what + ": system error " + std::to_string(code); }

// The key below HKEY_CURRENT_USER that a store path names.
std::string SubKey(const std::string& path) {
  const std::string prefix = kCurrentUser;
  return path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
}

}  // namespace

std::string SettingsStore::DefaultPath() { return "HKEY_CURRENT_USER\\Software\\Vesk\\Vesk"; }

HRESULT SettingsStore::Read(RegistryTree* tree, std::string* error) const {
  *tree = RegistryTree();
  HKEY key = nullptr;
  LONG result = RegOpenKeyExA(HKEY_CURRENT_USER, SubKey(path_).c_str(), 0, KEY_READ, &key);
  if (result == ERROR_FILE_NOT_FOUND) return S_FALSE;
  if (result != ERROR_SUCCESS) {
    *error = SystemError("cannot open " + path_, result);
    return E_FAIL;
  }
  tree->CreateKey(path_);
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD nameLength = sizeof name;
    DWORD type = 0;
    BYTE data[1024];
    DWORD dataLength = sizeof data;
    result = RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &dataLength);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result == ERROR_MORE_DATA) continue;  // no setting is that long
    if (result != ERROR_SUCCESS) {
      *error = SystemError("cannot read " + path_, result);
      RegCloseKey(key);
      return E_FAIL;
    }
    if (type == REG_DWORD && dataLength == sizeof(DWORD)) {
      DWORD value = 0;
      std::memcpy(&value, data, sizeof value);
      tree->SetDword(path_, name, value);
    } else if (type == REG_SZ) {
      tree->SetString(path_, name, std::string(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), dataLength)));
    }
  }
  RegCloseKey(key);
  return S_OK;
}

// The registry serialises writers itself; the values are written one by one.
HRESULT SettingsStore::Update(const std::function<void(RegistryTree&)>& edit, std::string* error) {
  RegistryTree tree;
  std::string why;
  Read(&tree, &why);
  edit(tree);
  if (!tree.KeyExists(path_)) return S_OK;
  HKEY key = nullptr;
  LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, SubKey(path_).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                nullptr);
  if (result != ERROR_SUCCESS) {
    *error = SystemError("cannot create " + path_, result);
    return E_FAIL;
  }
  for (const std::string& name : tree.ValueNames(path_)) {
    if (auto dword = tree.GetDword(path_, name)) {
      const DWORD value = *dword;
      result = RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    } else if (auto text = tree.GetString(path_, name)) {
      result = RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text->c_str()),
                              static_cast<DWORD>(text->size() + 1));
    }
    if (result != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) {
    *error = SystemError("cannot write " + path_, result);
    return E_FAIL;
  }
  return S_OK;
}

}  // namespace vesk::platform
