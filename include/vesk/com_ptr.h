// ComPtr<T>: one counted reference to a COM object, released when it goes.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

#include "vesk/com.h"

namespace vesk {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Shares the caller's object: takes a reference of its own.
  explicit ComPtr(T* object) : object_(object) { AddRefObject(); }
  ComPtr(const ComPtr& other) : object_(other.object_) { AddRefObject(); }
  ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  ComPtr(const ComPtr<U>& other) : object_(other.Get()) {
    AddRefObject();
  }
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& other) {
    ComPtr(other).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).Swap(*this);
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) {
    Reset();
    return *this;
  }

  T* Get() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  explicit operator bool() const { return object_ != nullptr; }

  // For out parameters that hand over a reference: drops the current one first.
  T** GetAddressOf() {
    Reset();
    return &object_;
  }

  // Takes over a reference the caller already owns.
  void Attach(T* object) {
    Reset();
    object_ = object;
  }
  // Hands the reference to the caller, who must release it.
  [[nodiscard]] T* Detach() { return std::exchange(object_, nullptr); }

  void Reset() {
    if (T* object = std::exchange(object_, nullptr)) object->Release();
  }

  void Swap(ComPtr& other) noexcept { std::swap(object_, other.object_); }

  // Asks the object for another of its interfaces; `out` is null on failure.
  template <class U>
  HRESULT As(REFIID iid, ComPtr<U>* out) const {
    if (out == nullptr) return E_POINTER;
    out->Reset();
    if (object_ == nullptr) return E_POINTER;
    return object_->QueryInterface(iid, reinterpret_cast<void**>(out->GetAddressOf()));
  }

 private:
  void AddRefObject() {
    if (object_ != nullptr) object_->AddRef();
  }

  T* object_ = nullptr;
};

template <class T, class U>
bool operator==(const ComPtr<T>& a, const ComPtr<U>& b) {
  return a.Get() == b.Get();
}

}  // namespace vesk
