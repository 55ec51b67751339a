// The user's display settings in the per-user store, under
// HKEY_CURRENT_USER\Software\Vesk\Vesk as thirteen 32-bit values.
#pragma once

#include <atomic>
#include <string>

#include "filter/settings_keeper.h"
#include "platform/settings_store.h"

namespace vesk::settings {

class SettingsPersistence final : public filter::SettingsKeeper {
 public:
  static constexpr const char* kSettingsKey = "HKEY_CURRENT_USER\\Software\\Vesk\\Vesk";

  explicit SettingsPersistence(platform::SettingsStore store = platform::SettingsStore());

  // Writes the values as the interface reports them now. A store that cannot
  // be written is traced; the result is still S_OK.
  HRESULT Save(ISplitterSettings& settings) override;
  // Shows all cameras, then hands each stored value to its setter. Without
  // stored settings (first run, or a store that cannot be read) the time
  // stamp is switched on and nothing else changes.
  HRESULT Load(ISplitterSettings& settings) override;

 private:
  platform::SettingsStore store_;
  std::atomic<bool> unreadableReported_{false};
};

}  // namespace vesk::settings
