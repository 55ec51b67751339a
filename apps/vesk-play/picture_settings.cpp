#include "apps/vesk-play/picture_settings.h"

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
constexpr Switch kTextSwitches[] = {
    {"ShowTimeOp", &ISplitterSettings::ShowTimeOp},
    {"ShowFpsOp", &ISplitterSettings::ShowFpsOp},
    {"ShowBpsOp", &ISplitterSettings::ShowBpsOp},
    {"ShowActivityOp", &ISplitterSettings::ShowActivityOp},
};

bool SwitchOn(ISplitterSettings& settings, const Switch& on, std::string* error) {
  LONG value = 1;
  return CallSucceeded(on.name, (settings.*on.op)(OptionWrite, &value), error);
}

}  // namespace

bool ApplyPictureSettings(ISplitterSettings& settings, const PlayOptions& options, std::string* error) {
  for (PictureText text : options.show)
    if (!SwitchOn(settings, kTextSwitches[static_cast<int>(text)], error)) return false;

  const struct {
    const char* name;
    Setter set;
    const std::optional<long>& value;
  } adjustments[] = {
      {"SetBrightness", &ISplitterSettings::SetBrightness, options.brightness},
      {"SetContrast", &ISplitterSettings::SetContrast, options.contrast},
      {"SetSharpness", &ISplitterSettings::SetSharpness, options.sharpness},
      {"SetSmooth", &ISplitterSettings::SetSmooth, options.smooth},
  };
  for (const auto& adjustment : adjustments) {
    if (adjustment.value &&
        !CallSucceeded(adjustment.name, (settings.*adjustment.set)(*adjustment.value), error))
      return false;
  }
  if ((options.brightness || options.contrast) &&
      !SwitchOn(settings, {"ShowBrightnessOp", &ISplitterSettings::ShowBrightnessOp}, error))
    return false;
  if ((options.sharpness || options.smooth) &&
      !SwitchOn(settings, {"ShowSmoothOp", &ISplitterSettings::ShowSmoothOp}, error))
    return false;
  return true;
}

}  // namespace vesk::play
