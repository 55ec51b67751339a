// Makes the objects of one class for a host that asked the module for them.
#pragma once

#include "module/factory_table.h"

namespace vesk::module {

// Holds the host's LockServer calls; with the object count it decides unloading.
class ServerLocks {
 public:
  static void Lock(bool lock) { count_ += lock ? 1 : -1; }
  static long Count() { return count_; }

 private:
  static inline std::atomic<long> count_{0};
};

class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(const FactoryEntry& entry);
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;

  STDMETHOD(QueryInterface)(REFIID riid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;
  STDMETHOD(CreateInstance)(IUnknown* outer, REFIID riid, void** object) override;
  STDMETHOD(LockServer)(BOOL lock) override;

 private:
  ~ClassFactory();

  const FactoryEntry& entry_;
  std::atomic<ULONG> references_{0};
};

// The entry points' work, shared by every platform's exports: a class factory
// for a class of the table, and whether the module may be unloaded.
HRESULT GetClassObject(REFCLSID classId, REFIID riid, void** object);
HRESULT CanUnloadNow();

}  // namespace vesk::module
