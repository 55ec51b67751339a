#include <new>

#include "module/class_factory.h"

namespace vesk::module {

ClassFactory::ClassFactory(const FactoryEntry& entry) : entry_(entry) {
  ModuleObjectCount::ObjectCreated();
}

ClassFactory::~ClassFactory() { ModuleObjectCount::ObjectDestroyed(); }

STDMETHODIMP ClassFactory::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IClassFactory) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) ClassFactory::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (outer && !(riid == IID_IUnknown)) return E_NOINTERFACE;
  HRESULT result = S_OK;
  IUnknown* created = entry_.create(outer, &result);
  if (!created) return FAILED(result) ? result : E_OUTOFMEMORY;
  // The new object's own unknown: a reference held across the query keeps it
  // alive, and dropping it deletes the object when the query failed.
  created->AddRef();
  if (FAILED(result)) {
    created->Release();
    return result;
  }
  HRESULT hr = created->QueryInterface(riid, object);
  created->Release();
  return hr;
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
  ServerLocks::Lock(lock != 0);
  return S_OK;
}

HRESULT GetClassObject(REFCLSID classId, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!(riid == IID_IUnknown) && !(riid == IID_IClassFactory)) return E_NOINTERFACE;
  const FactoryEntry* entry = FindFactoryEntry(classId);
  if (!entry) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) ClassFactory(*entry);
  if (!factory) return E_OUTOFMEMORY;
  factory->AddRef();
  *object = static_cast<IClassFactory*>(factory);
  return S_OK;
}

HRESULT CanUnloadNow() { return ServerLocks::Count() > 0 || ModuleObjectCount::Active() != 0 ? S_FALSE : S_OK; }

}  // namespace vesk::module
