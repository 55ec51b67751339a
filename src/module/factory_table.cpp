#include "module/factory_table.h"

#include <memory>

#include "audio/audio_pin.h"
#include "filter/splitter_filter.h"
#include "platform/debug_trace.h"
#include "platform/text_rasterizer.h"
#include "platform/tick.h"
#include "settings/settings_page.h"
#include "settings/settings_persistence.h"
#include "video/video_pin.h"
#include "vesk/dshow.h"
#include "vesk/splitter_settings.h"

namespace vesk::module {
namespace {

IUnknown* CreateSplitterFilter(IUnknown* outer, HRESULT* result) {
  filter::SplitterFilter::Parts parts;
  parts.makeAudioPin = [](filter::PinOwner& owner, platform::CriticalSection& pinLock) {
    return std::unique_ptr<filter::AudioOutput>(std::make_unique<audio::AudioPin>(owner, pinLock));
  };
  parts.makeVideoPin = [](filter::PinOwner& owner, platform::CriticalSection& pinLock,
                          filter::ChannelPresence& channels, HRESULT* made) -> std::unique_ptr<filter::VideoOutput> {
    // Without the overlay font the pictures would go out without their texts:
    // the filter is not made, and the reason goes to the trace.
    std::unique_ptr<platform::TextRasterizer> rasterizer;
    std::string message;
    *made = platform::TextRasterizer::Create(platform::TextRasterizer::kOverlayFamily, &rasterizer, &message);
    if (FAILED(*made)) return nullptr;
    return std::make_unique<video::VideoPin>(owner, pinLock, channels, std::move(rasterizer),
                                             [] { return platform::Tick::Now(); });
  };
  parts.makeSettingsKeeper = [] {
    return std::unique_ptr<filter::SettingsKeeper>(std::make_unique<settings::SettingsPersistence>());
  };
  filter::SplitterFilter* created = filter::SplitterFilter::Create(outer, parts, result);
  return created ? created->NonDelegatingUnknown() : nullptr;
}

IUnknown* CreateSettingsPage(IUnknown* outer, HRESULT* result) {
  return settings::SettingsPage::Create(outer, result);
}

const PinRegistration kPins[] = {
    {VESK_WIDE("Video0"), false, true, true, false, nullptr, MEDIATYPE_Video},
    {VESK_WIDE("Audio"), false, true, true, false, VESK_WIDE("Input"), MEDIATYPE_Audio},
};

const FilterRegistration kFilterRegistration = {MERIT_DO_NOT_USE, kPins, std::size(kPins)};

const FactoryEntry kEntries[] = {
    {VESK_WIDE("DOROdododizAderoz"), &CLSID_SplitterFilter, CreateSplitterFilter, &kFilterRegistration},
    {VESK_WIDE("ZEV Adeduvor Uduruvir Oviv"), &CLSID_SettingsPage, CreateSettingsPage, nullptr},
};

}  // namespace

const FactoryEntry* FactoryEntries() { return kEntries; }
std::size_t FactoryEntryCount() { return std::size(kEntries); }

const FactoryEntry* FindFactoryEntry(REFCLSID classId) {
  for (const FactoryEntry& entry : kEntries)
    if (*entry.classId == classId) return &entry;
  return nullptr;
}

}  // namespace vesk::module
