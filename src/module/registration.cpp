#include "module/registration.h"

#include <cstdio>

#include "module/factory_table.h"
#include "platform/wide_text.h"

namespace vesk::module {
namespace {

std::string ClassKey(const FactoryEntry& entry) {
  return std::string(kClassesRoot) + "\\CLSID\\" + GuidText(*entry.classId);
}

std::string FilterKey(const FactoryEntry& entry) {
  return std::string(kClassesRoot) + "\\Filter\\" + GuidText(*entry.classId);
}

std::string Narrow(const WCHAR* text) { return platform::NarrowFromWide(text ? text : WideString()); }

// The filter mapper's record: merit, then each pin with its media types.
void WriteFilterRecord(platform::RegistryTree& tree, const FactoryEntry& entry) {
  const FilterRegistration& filter = *entry.filter;
  tree.SetString(FilterKey(entry), "", Narrow(entry.name));
  tree.SetDword(ClassKey(entry), "Merit", filter.merit);
  for (std::size_t i = 0; i < filter.pinCount; ++i) {
    const PinRegistration& pin = filter.pins[i];
    const std::string pinKey = ClassKey(entry) + "\\Pins\\" + Narrow(pin.name);
    tree.SetDword(pinKey, "Direction", pin.output ? 1 : 0);
    tree.SetDword(pinKey, "IsRendered", pin.rendered ? 1 : 0);
    tree.SetDword(pinKey, "AllowedZero", pin.zeroInstancesAllowed ? 1 : 0);
    tree.SetDword(pinKey, "AllowedMany", pin.manyInstances ? 1 : 0);
    tree.SetString(pinKey, "ConnectsToFilter", GuidText(GUID{}));
    tree.SetString(pinKey, "ConnectsToPin", Narrow(pin.connectsToPin));
    tree.CreateKey(pinKey + "\\Types\\" + GuidText(pin.majorType) + "\\" + GuidText(GUID{}));
  }
}

}  // namespace

std::string GuidText(REFGUID guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1,
                guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

HRESULT RegisterClasses(platform::SettingsStore& store, const std::string& modulePath) {
  std::string error;
  return store.Update(
      [&](platform::RegistryTree& tree) {
        for (std::size_t i = 0; i < FactoryEntryCount(); ++i) {
          const FactoryEntry& entry = FactoryEntries()[i];
          tree.SetString(ClassKey(entry), "", Narrow(entry.name));
          tree.SetString(ClassKey(entry) + "\\InprocServer32", "", modulePath);
          tree.SetString(ClassKey(entry) + "\\InprocServer32", "ThreadingModel", "Both");
        }
        for (std::size_t i = 0; i < FactoryEntryCount(); ++i) {
          const FactoryEntry& entry = FactoryEntries()[i];
          if (!entry.filter) continue;
          tree.DeleteTree(FilterKey(entry));
          tree.DeleteTree(ClassKey(entry) + "\\Pins");
          WriteFilterRecord(tree, entry);
        }
      },
      &error);
}

HRESULT UnregisterClasses(platform::SettingsStore& store) {
  std::string error;
  return store.Update(
      [](platform::RegistryTree& tree) {
        for (std::size_t i = 0; i < FactoryEntryCount(); ++i) {
          const FactoryEntry& entry = FactoryEntries()[i];
          if (entry.filter) tree.DeleteTree(FilterKey(entry));
          tree.DeleteTree(ClassKey(entry));
        }
      },
      &error);
}

}  // namespace vesk::module
