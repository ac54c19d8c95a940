// Small owners of COM resources: interface pointers, BSTRs, VARIANTs and
// SAFEARRAYs. The conduit's COM code holds every such resource in one of
// these, so no Release, SysFreeString, VariantClear or SafeArrayDestroy is
// written by hand.
#pragma once

#include <windows.h>

#include <new>
#include <string>
#include <type_traits>
#include <utility>

namespace bolvarin::com {

// Owns one reference to an interface.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller already owns.
  static ComPtr Adopt(T* p) {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  // Adds a reference of its own.
  static ComPtr Share(T* p) {
    if (p != nullptr) p->AddRef();
    return Adopt(p);
  }
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr& o) : p_(o.p_) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  // An owner of a derived class's object becomes an owner of its interface.
  template <class U>
  requires std::is_convertible_v<U*, T*> ComPtr(ComPtr<U>&& o)
  noexcept : p_(o.Detach()) {}
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For functions that return a new reference through T**.
  T** Out() {
    Reset();
    return &p_;
  }
  // Gives the reference to a caller that takes ownership (an out-parameter).
  T* Detach() { return std::exchange(p_, nullptr); }

 private:
  T* p_ = nullptr;
};

// A new COM object, which starts with one reference, in its owner; empty when
// memory ran out.
template <class T, class... Args>
ComPtr<T> MakeObject(Args&&... args) {
  return ComPtr<T>::Adopt(new (std::nothrow) T(std::forward<Args>(args)...));
}

// Hands `object` to a caller as the interface `iid`: E_OUTOFMEMORY when it
// is empty (MakeObject ran out of memory).
template <class T>
HRESULT HandOut(const ComPtr<T>& object, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!object) return E_OUTOFMEMORY;
  return object->QueryInterface(iid, out);
}

// Owns a BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::wstring& text)
      : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  static Bstr Adopt(BSTR b) {
    Bstr s;
    s.b_ = b;
    return s;
  }
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
  Bstr& operator=(Bstr&& o) noexcept {
    std::swap(b_, o.b_);
    return *this;
  }
  BSTR get() const { return b_; }
  BSTR* Out() {
    SysFreeString(std::exchange(b_, nullptr));
    return &b_;
  }
  BSTR Detach() { return std::exchange(b_, nullptr); }

 private:
  BSTR b_ = nullptr;
};

// Owns a VARIANT and clears it when it goes.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  ~Variant() { VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  Variant(Variant&& o) noexcept {
    v_ = o.v_;
    VariantInit(&o.v_);
  }
  VARIANT* get() { return &v_; }
  const VARIANT* get() const { return &v_; }
  VARTYPE type() const { return V_VT(&v_); }
  // Empties it, then gives its address for a function that fills it.
  VARIANT* Out() {
    VariantClear(&v_);
    return &v_;
  }
  // Moves the value into a VARIANT that the caller owns (which must be empty).
  void MoveTo(VARIANT* target) {
    *target = v_;
    VariantInit(&v_);
  }

 private:
  VARIANT v_;
};

// Owns a SAFEARRAY.
class SafeArray {
 public:
  SafeArray() = default;
  explicit SafeArray(SAFEARRAY* a) : a_(a) {}
  ~SafeArray() {
    if (a_ != nullptr) SafeArrayDestroy(a_);
  }
  SafeArray(const SafeArray&) = delete;
  SafeArray& operator=(const SafeArray&) = delete;
  SAFEARRAY* get() const { return a_; }
  SAFEARRAY* Detach() { return std::exchange(a_, nullptr); }

 private:
  SAFEARRAY* a_ = nullptr;
};

// Keeps a SAFEARRAY's data locked for the life of the object.
class SafeArrayData {
 public:
  explicit SafeArrayData(SAFEARRAY* a) : a_(a) {
    if (a_ != nullptr && FAILED(SafeArrayAccessData(a_, &data_))) data_ = nullptr;
  }
  ~SafeArrayData() {
    if (data_ != nullptr) SafeArrayUnaccessData(a_);
  }
  SafeArrayData(const SafeArrayData&) = delete;
  SafeArrayData& operator=(const SafeArrayData&) = delete;
  void* get() const { return data_; }

 private:
  SAFEARRAY* a_;
  void* data_ = nullptr;
};

// A description that a type info lends, a TYPEATTR or a FUNCDESC, given back
// to it when the owner goes; get() is nullptr when the type info had none to
// lend. `get` is the call that borrows it, such as
// [info](TYPEATTR** a) { return info->GetTypeAttr(a); }.
template <class Desc>
class TypeInfoLoan {
 public:
  template <class Get>
  TypeInfoLoan(ITypeInfo* info, Get get) : info_(info) {
    if (FAILED(get(&desc_))) desc_ = nullptr;
  }
  ~TypeInfoLoan() {
    if (desc_ != nullptr) GiveBack(desc_);
  }
  TypeInfoLoan(const TypeInfoLoan&) = delete;
  TypeInfoLoan& operator=(const TypeInfoLoan&) = delete;
  const Desc* get() const { return desc_; }

 private:
  void GiveBack(TYPEATTR* attr) { info_->ReleaseTypeAttr(attr); }
  void GiveBack(FUNCDESC* desc) { info_->ReleaseFuncDesc(desc); }

  ITypeInfo* info_;
  Desc* desc_ = nullptr;
};

}  // namespace bolvarin::com
