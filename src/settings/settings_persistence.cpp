#include "settings/settings_persistence.h"

#include <cstdio>
#include <optional>
#include <utility>

#include "platform/debug_trace.h"

namespace vesk::settings {
namespace {

using SwitchOperation = HRESULT (STDMETHODCALLTYPE ISplitterSettings::*)(LONG code, LONG* value);

// The display switches in the order they are stored.
constexpr std::pair<const char*, SwitchOperation> kSwitches[] = {
    {"bShowBPS", &ISplitterSettings::ShowBpsOp},
    {"bShowACTIV", &ISplitterSettings::ShowActivityOp},
    {"bShowTime", &ISplitterSettings::ShowTimeOp},
    {"bShowFPS", &ISplitterSettings::ShowFpsOp},
    {"bShowBrightness", &ISplitterSettings::ShowBrightnessOp},
    {"bShowSmooth", &ISplitterSettings::ShowSmoothOp},
};
constexpr int kStoredCameraOptions = 4;  // the general overlay's is not kept

std::string CameraOptionName(int camera) {
  char name[16];
  std::snprintf(name, sizeof name, "subopt%d", camera);
  return name;
}

LONG Read(ISplitterSettings& settings, SwitchOperation operation) {
  LONG value = 0;
  (settings.*operation)(OptionRead, &value);
  return value;
}

void Write(ISplitterSettings& settings, SwitchOperation operation, std::uint32_t stored) {
  LONG value = static_cast<LONG>(stored);
  (settings.*operation)(OptionWrite, &value);
}

}  // namespace

SettingsPersistence::SettingsPersistence(platform::SettingsStore store) : store_(std::move(store)) {}

HRESULT SettingsPersistence::Save(ISplitterSettings& settings) {
  std::vector<std::pair<std::string, std::uint32_t>> values;
  values.emplace_back("ActiveCamera", static_cast<std::uint32_t>(settings.GetActiveCamera()));
  values.emplace_back("ActiveAudio", static_cast<std::uint32_t>(settings.GetActiveAudio()));
  for (const auto& [name, operation] : kSwitches)
    values.emplace_back(name, static_cast<std::uint32_t>(Read(settings, operation)));
  values.emplace_back("bMute", static_cast<std::uint32_t>(settings.GetMute()));
  for (int camera = 0; camera < kStoredCameraOptions; ++camera) {
    LONG option = 0;
    settings.CameraOptionOp(camera, OptionRead, &option);
    values.emplace_back(CameraOptionName(camera), static_cast<std::uint32_t>(option));
  }

  std::string error;
  const HRESULT hr = store_.Update(
      [&](platform::RegistryTree& tree) {
        tree.CreateKey(kSettingsKey);
        for (const auto& [name, value] : values) tree.SetDword(kSettingsKey, name, value);
      },
      &error);
  if (FAILED(hr)) platform::Trace("settings not saved: %s", error.c_str());
  return S_OK;
}

HRESULT SettingsPersistence::Load(ISplitterSettings& settings) {
  platform::RegistryTree tree;
  std::string error;
  const HRESULT hr = store_.Read(&tree, &error);
  // A store that cannot be read counts as none; saying so once is enough.
  if (FAILED(hr) && !unreadableReported_.exchange(true))
    platform::Trace("settings store %s cannot be read, first-run settings apply: %s", store_.path().c_str(),
                    error.c_str());

  settings.SetActiveCamera(-1);
  if (hr != S_OK || !tree.KeyExists(kSettingsKey)) {
    Write(settings, &ISplitterSettings::ShowTimeOp, 1);
    return S_OK;
  }
  auto stored = [&](const std::string& name) { return tree.GetDword(kSettingsKey, name); };
  if (auto audio = stored("ActiveAudio")) settings.SetActiveAudio(static_cast<LONG>(*audio));
  for (const auto& [name, operation] : kSwitches)
    if (auto value = stored(name)) Write(settings, operation, *value);
  if (auto mute = stored("bMute")) settings.SetMute(static_cast<LONG>(*mute));
  for (int camera = 0; camera < kStoredCameraOptions; ++camera) {
    if (auto option = stored(CameraOptionName(camera))) {
      LONG value = static_cast<LONG>(*option);
      settings.CameraOptionOp(camera, OptionWrite, &value);
    }
  }
  return S_OK;
}

}  // namespace vesk::settings
