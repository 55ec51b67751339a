// The built module as a host meets it: loaded from its file, asked for class
// factories and objects, and told to register and unregister itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "host/module_loader.h"
#include "platform/settings_store.h"
#include "vesk/com_ptr.h"
#include "vesk/dshow.h"
#include "vesk/splitter_settings.h"

namespace vesk {
namespace {

std::unique_ptr<host::ModuleLoader> LoadModule() {
  std::string error;
  std::unique_ptr<host::ModuleLoader> module = host::ModuleLoader::Load(VESK_MODULE_PATH, &error);
  EXPECT_TRUE(module) << error;
  return module;
}

template <class T>
void** Out(ComPtr<T>& pointer) {
  return reinterpret_cast<void**>(pointer.GetAddressOf());
}

class ModuleEntryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(module_); }

  ComPtr<IClassFactory> Factory(REFCLSID classId) {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(module_->GetClassObject(classId, IID_IClassFactory, Out(factory)), S_OK);
    return factory;
  }

  std::unique_ptr<host::ModuleLoader> module_ = LoadModule();
};

TEST_F(ModuleEntryTest, ServesOnlyFactoriesOfItsOwnClasses) {
  // Called directly: the loader would clear the out pointer itself.
  using GetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);
  auto getClassObject = reinterpret_cast<GetClassObject>(module_->Entry("DllGetClassObject"));
  ASSERT_NE(getClassObject, nullptr);
  void* object = &getClassObject;  // must come back null
  EXPECT_EQ(getClassObject(CLSID_SplitterFilter, IID_IPersist, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  object = &getClassObject;
  EXPECT_EQ(getClassObject(IID_IPersist, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);

  for (const CLSID* classId : {&CLSID_SplitterFilter, &CLSID_SettingsPage}) {
    ComPtr<IUnknown> factory;
    EXPECT_EQ(module_->GetClassObject(*classId, IID_IUnknown, Out(factory)), S_OK);
    EXPECT_TRUE(factory);
  }
}

TEST_F(ModuleEntryTest, AggregationMayAskOnlyForTheInnerUnknown) {
  ComPtr<IClassFactory> factory = Factory(CLSID_SplitterFilter);
  ASSERT_TRUE(factory);
  void* object = &factory;  // must come back null
  EXPECT_EQ(factory->CreateInstance(factory.Get(), IID_IBaseFilter, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
}

TEST_F(ModuleEntryTest, FilterAnswersItsInterfacesAndNamesItsPage) {
  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(module_->CreateInstance(CLSID_SplitterFilter, IID_IBaseFilter, Out(filter)), S_OK);
  CLSID classId{};
  EXPECT_EQ(filter->GetClassID(&classId), S_OK);
  EXPECT_EQ(classId, CLSID_SplitterFilter);
  ComPtr<IUnknown> other;
  EXPECT_EQ(filter.As(IID_IFileSourceFilter, &other), S_OK);
  EXPECT_EQ(filter.As(IID_ISplitterSettings, &other), S_OK);

  ComPtr<ISpecifyPropertyPages> pages;
  ASSERT_EQ(filter.As(IID_ISpecifyPropertyPages, &pages), S_OK);
  CAUUID named{};
  ASSERT_EQ(pages->GetPages(&named), S_OK);
  ASSERT_EQ(named.cElems, 1u);
  EXPECT_EQ(named.pElems[0], CLSID_SettingsPage);
  CoTaskMemFree(named.pElems);
}

TEST_F(ModuleEntryTest, StaysLoadedWhileFactoriesObjectsOrLocksRemain) {
  EXPECT_EQ(module_->CanUnloadNow(), S_OK);
  ComPtr<IClassFactory> factory = Factory(CLSID_SplitterFilter);
  EXPECT_EQ(module_->CanUnloadNow(), S_FALSE);

  ComPtr<IUnknown> filter;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, Out(filter)), S_OK);
  factory->LockServer(TRUE);
  factory.Reset();
  EXPECT_EQ(module_->CanUnloadNow(), S_FALSE);  // the filter and the lock
  filter.Reset();
  EXPECT_EQ(module_->CanUnloadNow(), S_FALSE);  // the lock

  factory = Factory(CLSID_SettingsPage);
  factory->LockServer(FALSE);
  EXPECT_EQ(module_->CanUnloadNow(), S_FALSE);  // the factory
  factory.Reset();
  EXPECT_EQ(module_->CanUnloadNow(), S_OK);
}

// Registration goes to the store under $XDG_CONFIG_HOME, the test program's
// own folder; each test begins without a store.
class RegistrationTest : public ModuleEntryTest {
 protected:
  static constexpr const char* kClasses = "HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\";
  static constexpr const char* kFilter = "{5E5E8199-A788-4F8A-A1DE-A4E8A2C3D535}";
  static constexpr const char* kPage = "{32ED14B8-9944-4086-A059-EF0D14742B9F}";
  static constexpr const char* kSettings = "HKEY_CURRENT_USER\\Software\\Vesk\\Vesk";
  // Another server's class beside ours, one digit apart.
  static constexpr const char* kNeighbour = "{5E5E8199-A788-4F8A-A1DE-A4E8A2C3D536}";

  RegistrationTest() { std::filesystem::remove(store_.path()); }

  platform::RegistryTree Stored() {
    platform::RegistryTree tree;
    std::string error;
    EXPECT_EQ(store_.Read(&tree, &error), S_OK) << error;
    return tree;
  }

  static std::string Class(const char* classId, const std::string& below = "") {
    return kClasses + std::string(classId) + below;
  }

  platform::SettingsStore store_;
};

TEST_F(RegistrationTest, WritesBothServersButListsOnlyTheFilterWithItsPins) {
  ASSERT_EQ(module_->RegisterServer(), S_OK);
  const platform::RegistryTree tree = Stored();
  for (const char* classId : {kFilter, kPage}) {
    EXPECT_EQ(tree.GetString(Class(classId, "\\InprocServer32"), ""), VESK_MODULE_PATH) << classId;
    EXPECT_EQ(tree.GetString(Class(classId, "\\InprocServer32"), "ThreadingModel"), "Both") << classId;
  }

  EXPECT_EQ(tree.GetDword(Class(kFilter), "Merit"), 0x00200000u);
  const std::string video = Class(kFilter, "\\Pins\\Video0");
  const std::string audio = Class(kFilter, "\\Pins\\Audio");
  for (const std::string& pin : {video, audio}) {
    EXPECT_EQ(tree.GetDword(pin, "Direction"), 1u) << pin;  // output
    EXPECT_EQ(tree.GetDword(pin, "IsRendered"), 0u) << pin;
    EXPECT_EQ(tree.GetDword(pin, "AllowedZero"), 1u) << pin;
    EXPECT_EQ(tree.GetDword(pin, "AllowedMany"), 0u) << pin;
  }
  EXPECT_EQ(tree.GetString(audio, "ConnectsToPin"), "Input");
  const std::string anySubtype = "\\{00000000-0000-0000-0000-000000000000}";
  EXPECT_TRUE(tree.KeyExists(video + "\\Types\\{73646976-0000-0010-8000-00AA00389B71}" + anySubtype));
  EXPECT_TRUE(tree.KeyExists(audio + "\\Types\\{73647561-0000-0010-8000-00AA00389B71}" + anySubtype));

  EXPECT_EQ(tree.GetDword(Class(kPage), "Merit"), std::nullopt);
  EXPECT_FALSE(tree.KeyExists(Class(kPage, "\\Pins")));
  EXPECT_FALSE(tree.KeyExists("HKEY_CURRENT_USER\\Software\\Classes\\Filter\\" + std::string(kPage)));
}

TEST_F(RegistrationTest, UnregisterRemovesOnlyWhatRegisterWrote) {
  EXPECT_EQ(module_->UnregisterServer(), S_OK);  // no store at all yet
  std::string error;
  ASSERT_EQ(store_.Update(
                [](platform::RegistryTree& tree) {
                  tree.SetDword(kSettings, "ActiveCamera", 2);
                  tree.SetString(Class(kNeighbour, "\\InprocServer32"), "", "/elsewhere/libother.so");
                },
                &error),
            S_OK)
      << error;
  EXPECT_EQ(module_->UnregisterServer(), S_OK);  // other keys only

  ASSERT_EQ(module_->RegisterServer(), S_OK);
  ASSERT_EQ(module_->UnregisterServer(), S_OK);
  const platform::RegistryTree tree = Stored();
  EXPECT_FALSE(tree.KeyExists(Class(kFilter)));
  EXPECT_FALSE(tree.KeyExists(Class(kPage)));
  EXPECT_FALSE(tree.KeyExists("HKEY_CURRENT_USER\\Software\\Classes\\Filter\\" + std::string(kFilter)));
  EXPECT_EQ(tree.GetDword(kSettings, "ActiveCamera"), 2u);
  EXPECT_EQ(tree.GetString(Class(kNeighbour, "\\InprocServer32"), ""), "/elsewhere/libother.so");
}

}  // namespace
}  // namespace vesk
