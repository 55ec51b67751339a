#include "apps/vesk-play/given_settings.h"

#include <algorithm>

#include "apps/vesk-play/settings_call.h"

namespace vesk::play {
namespace {

using SwitchOp = HRESULT (STDMETHODCALLTYPE ISplitterSettings::*)(LONG code, LONG* value);
using Setter = HRESULT (STDMETHODCALLTYPE ISplitterSettings::*)(LONG value);

struct Switch {
  const char* name;
  SwitchOp op;
};

// In the order of PictureText.
constexpr Switch kTextSwitches[kPictureTextCount] = {
    {"ShowTimeOp", &ISplitterSettings::ShowTimeOp},
    {"ShowFpsOp", &ISplitterSettings::ShowFpsOp},
    {"ShowBpsOp", &ISplitterSettings::ShowBpsOp},
    {"ShowActivityOp", &ISplitterSettings::ShowActivityOp},
};
constexpr Switch kBrightnessSwitch{"ShowBrightnessOp", &ISplitterSettings::ShowBrightnessOp};
constexpr Switch kSmoothSwitch{"ShowSmoothOp", &ISplitterSettings::ShowSmoothOp};

bool IsOn(ISplitterSettings& settings, const Switch& which) {
  LONG value = 0;
  return SUCCEEDED((settings.*which.op)(OptionRead, &value)) && value != 0;
}

HRESULT Turn(ISplitterSettings& settings, const Switch& which, bool on) {
  LONG value = on ? 1 : 0;
  return (settings.*which.op)(OptionWrite, &value);
}

// Each switch the options decide, with the state they give it.
template <typename Visit>
void ForEachGivenSwitch(const PlayOptions& options, Visit visit) {
  if (options.show) {
    for (int text = 0; text < kPictureTextCount; ++text) {
      const bool listed = std::find(options.show->begin(), options.show->end(), static_cast<PictureText>(text)) !=
                          options.show->end();
      visit(kTextSwitches[text], listed);
    }
  }
  if (options.brightness || options.contrast) visit(kBrightnessSwitch, true);
  if (options.sharpness || options.smooth) visit(kSmoothSwitch, true);
}

}  // namespace

bool GivenSettings::Apply(ISplitterSettings& settings, std::string* error) {
  if (options_.audioChannel && !CallSucceeded("SetActiveAudio", settings.SetActiveAudio(*options_.audioChannel), error))
    return false;
  if (options_.mute && !CallSucceeded("SetMute", settings.SetMute(*options_.mute ? 1 : 0), error)) return false;

  bool refused = false;
  ForEachGivenSwitch(options_, [&](const Switch& which, bool on) {
    if (!refused) refused = !CallSucceeded(which.name, Turn(settings, which, on), error);
  });
  if (refused) return false;

  const struct {
    const char* name;
    Setter set;
    const std::optional<long>& value;
  } adjustments[] = {
      {"SetBrightness", &ISplitterSettings::SetBrightness, options_.brightness},
      {"SetContrast", &ISplitterSettings::SetContrast, options_.contrast},
      {"SetSharpness", &ISplitterSettings::SetSharpness, options_.sharpness},
      {"SetSmooth", &ISplitterSettings::SetSmooth, options_.smooth},
  };
  for (const auto& adjustment : adjustments) {
    if (adjustment.value && !CallSucceeded(adjustment.name, (settings.*adjustment.set)(*adjustment.value), error))
      return false;
  }
  return true;
}

HRESULT GivenSettings::Restore(ISplitterSettings& settings, bool selectCamera) {
  std::lock_guard lock(restoring_);
  HRESULT result = S_OK;
  auto note = [&result](HRESULT hr) {
    if (SUCCEEDED(result)) result = hr;
  };
  if (options_.camera) {
    const LONG camera = *options_.camera;
    const bool present = camera < 0 || settings.IsChannelPresent(camera);
    if (present && (selectCamera || settings.GetActiveCamera() != camera)) note(settings.SetActiveCamera(camera));
  }
  // A channel the new description lacks would fall back to the first at once.
  if (options_.audioChannel && settings.GetActiveAudio() != *options_.audioChannel &&
      *options_.audioChannel < settings.GetAudioChannelCount())
    note(settings.SetActiveAudio(*options_.audioChannel));
  if (options_.mute && (settings.GetMute() != 0) != *options_.mute) note(settings.SetMute(*options_.mute ? 1 : 0));
  ForEachGivenSwitch(options_, [&](const Switch& which, bool on) {
    if (IsOn(settings, which) != on) note(Turn(settings, which, on));
  });
  return result;
}

bool ResetSettings(ISplitterSettings& settings, std::string* error) {
  if (!CallSucceeded("SetActiveCamera", settings.SetActiveCamera(-1), error) ||
      !CallSucceeded("SetActiveAudio", settings.SetActiveAudio(0), error) ||
      !CallSucceeded("SetMute", settings.SetMute(0), error))
    return false;
  for (int text = 0; text < kPictureTextCount; ++text) {
    const bool time = static_cast<PictureText>(text) == PictureText::kTime;
    if (!CallSucceeded(kTextSwitches[text].name, Turn(settings, kTextSwitches[text], time), error)) return false;
  }
  for (const Switch& adjustment : {kBrightnessSwitch, kSmoothSwitch}) {
    if (!CallSucceeded(adjustment.name, Turn(settings, adjustment, false), error)) return false;
  }
  for (LONG camera = 0; camera < 4; ++camera) {
    LONG shown = 2;
    if (!CallSucceeded("CameraOptionOp", settings.CameraOptionOp(camera, OptionWrite, &shown), error)) return false;
  }
  return CallSucceeded("SaveSettings", settings.SaveSettings(), error);
}

}  // namespace vesk::play
