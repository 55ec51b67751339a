#include "host/module_loader.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "test_module.h"
#include "vesk/com_ptr.h"
#include "vesk/dshow.h"

namespace vesk::host {
namespace {

// Whether the test module is mapped into the process, without loading it.
bool ModuleMapped() {
  void* handle = ::dlopen(VESK_TEST_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  ::dlclose(handle);
  return true;
}

std::unique_ptr<ModuleLoader> LoadTestModule() {
  std::string error;
  std::unique_ptr<ModuleLoader> module = ModuleLoader::Load(VESK_TEST_MODULE_PATH, &error);
  EXPECT_TRUE(module) << error;
  return module;
}

TEST(ModuleLoaderTest, CreatesObjectsByClassIdThroughTheClassFactory) {
  std::unique_ptr<ModuleLoader> module = LoadTestModule();
  ASSERT_TRUE(module);
  ComPtr<IPersist> object;
  ASSERT_EQ(module->CreateInstance(kTestModuleClass, IID_IPersist, reinterpret_cast<void**>(object.GetAddressOf())),
            S_OK);
  CLSID class_id{};
  EXPECT_EQ(object->GetClassID(&class_id), S_OK);
  EXPECT_EQ(class_id, kTestModuleClass);

  ComPtr<IUnknown> none;
  EXPECT_EQ(module->CreateInstance(IID_IPersist, IID_IUnknown, reinterpret_cast<void**>(none.GetAddressOf())),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(module->RegisterServer(), S_OK);
  EXPECT_EQ(module->UnregisterServer(), S_OK);
}

TEST(ModuleLoaderTest, UnloadsOnlyWhenTheModuleAllowsIt) {
  std::unique_ptr<ModuleLoader> module = LoadTestModule();
  ASSERT_TRUE(module);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(module->GetClassObject(kTestModuleClass, IID_IClassFactory,
                                   reinterpret_cast<void**>(factory.GetAddressOf())),
            S_OK);
  ComPtr<IUnknown> object;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(object.GetAddressOf())), S_OK);
  factory->LockServer(TRUE);
  factory.Reset();

  EXPECT_EQ(module->Unload(), S_FALSE);  // an object is alive and the server is locked
  object.Reset();
  EXPECT_EQ(module->Unload(), S_FALSE);  // still locked
  ASSERT_EQ(module->GetClassObject(kTestModuleClass, IID_IClassFactory,
                                   reinterpret_cast<void**>(factory.GetAddressOf())),
            S_OK);
  factory->LockServer(FALSE);
  factory.Reset();
  EXPECT_TRUE(ModuleMapped());

  EXPECT_EQ(module->Unload(), S_OK);
  EXPECT_FALSE(module->IsLoaded());
  EXPECT_FALSE(ModuleMapped());
  EXPECT_EQ(module->CanUnloadNow(), E_UNEXPECTED);
}

TEST(ModuleLoaderTest, RefusesFilesThatAreNotModules) {
  std::string error;
  EXPECT_FALSE(ModuleLoader::Load("/nonexistent/libvesk.so", &error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(ModuleLoader::Load("libm.so.6", &error));
  EXPECT_NE(error.find("DllGetClassObject"), std::string::npos) << error;
}

TEST(ModuleLoaderTest, FindsTheModuleBesideTheProgram) {
  std::filesystem::path found = ModuleLoader::FindInstalled(VESK_TEST_MODULE_NAME);
  EXPECT_EQ(found, std::filesystem::canonical(VESK_TEST_MODULE_PATH));
  EXPECT_TRUE(ModuleLoader::FindInstalled("libvesk-not-there.so").empty());
}

}  // namespace
}  // namespace vesk::host
