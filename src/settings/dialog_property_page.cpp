#include "settings/dialog_property_page.h"

#include <cstring>
#include <new>
#include <string_view>

#include "platform/debug_trace.h"
#include "settings/installed_dialog_system.h"

namespace vesk::settings {
namespace {

// What a frame is told when the dialog cannot be measured.
constexpr SIZE kFallbackPageSize = {340, 150};

}  // namespace

DialogPropertyPage* DialogPropertyPage::Create(IUnknown* outer, const DialogTemplate& layout, const char16_t* title,
                                               std::unique_ptr<PageController> controller) {
  return new (std::nothrow) DialogPropertyPage(outer, layout, title, std::move(controller));
}

DialogPropertyPage::DialogPropertyPage(IUnknown* outer, const DialogTemplate& layout, const char16_t* title,
                                       std::unique_ptr<PageController> controller)
    : outer_(outer ? outer : &inner_), layout_(layout), title_(title), controller_(std::move(controller)) {
  ModuleObjectCount::ObjectCreated();
}

DialogPropertyPage::~DialogPropertyPage() {
  // A host may let go of a page it never deactivated: the dialog goes first,
  // while the controller that hears its WM_DESTROY still exists.
  dialog_.reset();
  ModuleObjectCount::ObjectDestroyed();
}

// ---- IUnknown and aggregation ----------------------------------------------------

STDMETHODIMP DialogPropertyPage::InnerUnknown::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown) {
    *object = static_cast<IUnknown*>(this);
  } else if (riid == IID_IPropertyPage) {
    *object = static_cast<IPropertyPage*>(&page);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  static_cast<IUnknown*>(*object)->AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) DialogPropertyPage::InnerUnknown::AddRef() { return ++page.references_; }

STDMETHODIMP_(ULONG) DialogPropertyPage::InnerUnknown::Release() {
  DialogPropertyPage* self = &page;
  const ULONG left = --self->references_;
  if (left == 0) delete self;
  return left;
}

STDMETHODIMP DialogPropertyPage::QueryInterface(REFIID riid, void** object) {
  return outer_->QueryInterface(riid, object);
}
STDMETHODIMP_(ULONG) DialogPropertyPage::AddRef() { return outer_->AddRef(); }
STDMETHODIMP_(ULONG) DialogPropertyPage::Release() { return outer_->Release(); }

// ---- IPropertyPage ----------------------------------------------------------------------

STDMETHODIMP DialogPropertyPage::SetPageSite(IPropertyPageSite* site) {
  if (site && !site_) {
    site_ = ComPtr<IPropertyPageSite>(site);
    return S_OK;
  }
  if (!site && site_) {
    site_ = nullptr;
    return S_OK;
  }
  return E_UNEXPECTED;
}

STDMETHODIMP DialogPropertyPage::Activate(HWND parent, LPCRECT rect, BOOL) {
  if (!rect) return E_POINTER;
  if (!objectSet_ || dialog_) return E_UNEXPECTED;
  DialogSystem* system = InstalledDialogSystem();
  if (!system) {
    platform::Trace("property page: no dialog system to show it");
    return kNoDialogSystem;
  }
  dialog_ = system->Create(layout_, parent, *this);
  if (!dialog_) return E_OUTOFMEMORY;
  controller_->ActivatePage(*dialog_);
  Move(rect);
  return Show(SW_SHOWNORMAL);
}

STDMETHODIMP DialogPropertyPage::Deactivate() {
  if (!dialog_) return E_UNEXPECTED;
  controller_->DeactivatePage();
  dialog_.reset();
  return S_OK;
}

STDMETHODIMP DialogPropertyPage::GetPageInfo(PROPPAGEINFO* info) {
  if (!info) return E_POINTER;
  const std::u16string_view title(title_);
  const std::size_t bytes = (title.size() + 1) * sizeof(WCHAR);
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (!copy) return E_OUTOFMEMORY;
  std::memcpy(copy, title_, bytes);
  SIZE size{};
  DialogSystem* system = InstalledDialogSystem();
  if (!system || !system->Measure(layout_, &size)) size = kFallbackPageSize;
  *info = PROPPAGEINFO{sizeof(PROPPAGEINFO), copy, size, nullptr, nullptr, 0};
  return S_OK;
}

STDMETHODIMP DialogPropertyPage::SetObjects(ULONG count, IUnknown** objects) {
  if (count == 1) {
    if (!objects || !objects[0]) return E_POINTER;
    const HRESULT hr = controller_->ConnectFilter(objects[0]);
    objectSet_ = SUCCEEDED(hr);
    return hr;
  }
  if (count == 0) {
    objectSet_ = false;
    return controller_->DisconnectFilter();
  }
  return E_UNEXPECTED;
}

STDMETHODIMP DialogPropertyPage::Show(UINT cmdShow) {
  if (!dialog_) return E_UNEXPECTED;
  if (cmdShow != SW_SHOW && cmdShow != SW_SHOWNORMAL && cmdShow != SW_HIDE) return E_INVALIDARG;
  dialog_->Show(cmdShow != SW_HIDE);
  return S_OK;
}

STDMETHODIMP DialogPropertyPage::Move(LPCRECT rect) {
  if (!rect) return E_POINTER;
  if (!dialog_) return E_UNEXPECTED;
  dialog_->Move(*rect);
  return S_OK;
}

// Changes on the page are in force at once and saved when it is left, so the
// page never reports pending changes and the frame's Apply has nothing to do.
STDMETHODIMP DialogPropertyPage::IsPageDirty() { return S_FALSE; }

STDMETHODIMP DialogPropertyPage::Apply() {
  if (!objectSet_ || !site_) return E_UNEXPECTED;
  return S_OK;
}

STDMETHODIMP DialogPropertyPage::Help(LPCOLESTR) { return E_NOTIMPL; }
STDMETHODIMP DialogPropertyPage::TranslateAccelerator(MSG*) { return E_NOTIMPL; }

INT_PTR DialogPropertyPage::OnDialogMessage(Dialog&, UINT message, WPARAM wParam, LPARAM lParam) {
  return controller_->ReceiveMessage(message, wParam, lParam);
}

}  // namespace vesk::settings
