// The per-user store of keys and values, kept the way the registry keeps them.
// On Windows it is the registry itself: the store is one key, whose values it
// reads and writes. Elsewhere it is a registry export file under the user's
// configuration folder, always replaced whole through a temporary file so a
// crash or a full disk never leaves it half written.
#pragma once

#include <functional>
#include <string>

#include "platform/registry_tree.h"
#include "vesk/com.h"

namespace vesk::platform {

class SettingsStore {
 public:
  // $XDG_CONFIG_HOME/vesk/registry.reg, or ~/.config/vesk/registry.reg; on
  // Windows the settings key "HKEY_CURRENT_USER\Software\Vesk\Vesk".
  static std::string DefaultPath();

  explicit SettingsStore(std::string path = DefaultPath()) : path_(std::move(path)) {}

  // S_OK with the stored tree; S_FALSE and an empty tree when there is no
  // store yet; E_FAIL and a reason when it cannot be read or parsed.
  HRESULT Read(RegistryTree* tree, std::string* error) const;

  // Reads the store, lets `edit` change it and writes it back, all under an
  // exclusive lock so writers in other processes lose nothing. A store that
  // cannot be parsed is kept beside the new one with the suffix ".bad"; a
  // temporary file that a killed writer left beside it goes.
  HRESULT Update(const std::function<void(RegistryTree&)>& edit, std::string* error);

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace vesk::platform
