// A tiny module for the loader's tests: it serves one class, whose objects
// answer IPersist with their class id, and may be unloaded only when no object
// and no server lock is left.
#include <atomic>

#include "test_module.h"
#include "vesk/dshow.h"

#define TEST_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::atomic<long> live_objects{0};
std::atomic<long> server_locks{0};

class TestObject final : public IPersist {
 public:
  TestObject() { ++live_objects; }

  STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IPersist) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IPersist*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++refs_; }
  STDMETHOD_(ULONG, Release)() override {
    ULONG refs = --refs_;
    if (refs == 0) delete this;
    return refs;
  }
  STDMETHOD(GetClassID)(CLSID* class_id) override {
    if (class_id == nullptr) return E_POINTER;
    *class_id = kTestModuleClass;
    return S_OK;
  }

 private:
  ~TestObject() { --live_objects; }
  std::atomic<ULONG> refs_{0};
};

class TestFactory final : public IClassFactory {
 public:
  TestFactory() { ++live_objects; }

  STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++refs_; }
  STDMETHOD_(ULONG, Release)() override {
    ULONG refs = --refs_;
    if (refs == 0) delete this;
    return refs;
  }
  STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* created = new TestObject();
    created->AddRef();
    HRESULT result = created->QueryInterface(iid, object);
    created->Release();
    return result;
  }
  STDMETHOD(LockServer)(BOOL lock) override {
    server_locks += lock ? 1 : -1;
    return S_OK;
  }

 private:
  ~TestFactory() { --live_objects; }
  std::atomic<ULONG> refs_{0};
};

}  // namespace

TEST_MODULE_EXPORT HRESULT DllGetClassObject(REFCLSID class_id, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (class_id != kTestModuleClass) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new TestFactory();
  factory->AddRef();
  HRESULT result = factory->QueryInterface(iid, object);
  factory->Release();
  return result;
}

TEST_MODULE_EXPORT HRESULT DllCanUnloadNow() {
  return live_objects == 0 && server_locks == 0 ? S_OK : S_FALSE;
}

TEST_MODULE_EXPORT HRESULT DllRegisterServer() { return S_OK; }

TEST_MODULE_EXPORT HRESULT DllUnregisterServer() { return S_OK; }
