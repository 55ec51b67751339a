// The COM side of a property page: IPropertyPage as a host's property frame
// calls it, the page site, the dialog's lifetime and aggregation. What the
// page shows and does belongs to its PageController.
#pragma once

#include <atomic>
#include <memory>

#include "vesk/dialog_system.h"
#include "settings/page_controller.h"
#include "vesk/com_ptr.h"
#include "vesk/dshow.h"

namespace vesk::settings {

class DialogPropertyPage final : public IPropertyPage, private DialogHandler {
 public:
  // A page with no reference taken yet, answering through `outer` when it is
  // aggregated; nullptr when there is no memory for it.
  static DialogPropertyPage* Create(IUnknown* outer, const DialogTemplate& layout, const char16_t* title,
                                    std::unique_ptr<PageController> controller);

  // The unknown that owns the page's lifetime when it is aggregated.
  IUnknown* NonDelegatingUnknown() { return &inner_; }

  // IUnknown, delegating to the controlling unknown.
  STDMETHOD(QueryInterface)(REFIID riid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;

  // IPropertyPage.
  STDMETHOD(SetPageSite)(IPropertyPageSite* site) override;
  STDMETHOD(Activate)(HWND parent, LPCRECT rect, BOOL modal) override;
  STDMETHOD(Deactivate)() override;
  STDMETHOD(GetPageInfo)(PROPPAGEINFO* info) override;
  STDMETHOD(SetObjects)(ULONG count, IUnknown** objects) override;
  STDMETHOD(Show)(UINT cmdShow) override;
  STDMETHOD(Move)(LPCRECT rect) override;
  STDMETHOD(IsPageDirty)() override;
  STDMETHOD(Apply)() override;
  STDMETHOD(Help)(LPCOLESTR helpDir) override;
  STDMETHOD(TranslateAccelerator)(MSG* message) override;

 private:
  // The page's own reference count, reached directly when not aggregated.
  struct InnerUnknown final : IUnknown {
    explicit InnerUnknown(DialogPropertyPage& page) : page(page) {}
    STDMETHOD(QueryInterface)(REFIID riid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    DialogPropertyPage& page;
  };

  DialogPropertyPage(IUnknown* outer, const DialogTemplate& layout, const char16_t* title,
                     std::unique_ptr<PageController> controller);
  ~DialogPropertyPage();

  INT_PTR OnDialogMessage(Dialog& dialog, UINT message, WPARAM wParam, LPARAM lParam) override;

  InnerUnknown inner_{*this};
  IUnknown* outer_;  // the controlling unknown: the aggregating object, or inner_
  std::atomic<ULONG> references_{0};
  const DialogTemplate& layout_;
  const char16_t* title_;
  std::unique_ptr<PageController> controller_;
  ComPtr<IPropertyPageSite> site_;
  bool objectSet_ = false;
  std::unique_ptr<Dialog> dialog_;  // while the page is active
};

}  // namespace vesk::settings
