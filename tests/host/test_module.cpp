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

// What both classes share: IUnknown over one further interface, and a place
// in the count of live objects.
template <class Interface>
class Counted : public Interface {
 public:
  explicit Counted(REFIID iid) : iid_(iid) { ++live_objects; }
  virtual ~Counted() { --live_objects; }

  STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid != IID_IUnknown && iid != iid_) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<Interface*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++refs_; }
  STDMETHOD_(ULONG, Release)() override {
    ULONG refs = --refs_;
    if (refs == 0) delete this;
    return refs;
  }

 private:
  const IID& iid_;
  std::atomic<ULONG> refs_{0};
};

// Hands out a new object's `iid`; the object goes again if it has none.
HRESULT HandOut(IUnknown* created, REFIID iid, void** object) {
  created->AddRef();
  HRESULT result = created->QueryInterface(iid, object);
  created->Release();
  return result;
}

class TestObject final : public Counted<IPersist> {
 public:
  TestObject() : Counted(IID_IPersist) {}
  STDMETHOD(GetClassID)(CLSID* class_id) override {
    if (class_id == nullptr) return E_POINTER;
    *class_id = kTestModuleClass;
    return S_OK;
  }
};

class TestFactory final : public Counted<IClassFactory> {
 public:
  TestFactory() : Counted(IID_IClassFactory) {}
  STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return HandOut(new TestObject(), iid, object);
  }
  STDMETHOD(LockServer)(BOOL lock) override {
    server_locks += lock ? 1 : -1;
    return S_OK;
  }
};

}  // namespace

TEST_MODULE_EXPORT HRESULT DllGetClassObject(REFCLSID class_id, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (class_id != kTestModuleClass) return CLASS_E_CLASSNOTAVAILABLE;
  return HandOut(new TestFactory(), iid, object);
}

TEST_MODULE_EXPORT HRESULT DllCanUnloadNow() {
  return live_objects == 0 && server_locks == 0 ? S_OK : S_FALSE;
}

TEST_MODULE_EXPORT HRESULT DllRegisterServer() { return S_OK; }

TEST_MODULE_EXPORT HRESULT DllUnregisterServer() { return S_OK; }
