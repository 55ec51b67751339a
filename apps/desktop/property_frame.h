// PropertyFrame: the player's own property frame, a window that shows the
// filter's property pages as a host shows them: the page class named by
// ISpecifyPropertyPages is made through the module's class factory and driven
// through IPropertyPage (SetPageSite, SetObjects, GetPageInfo, Activate,
// Show, Apply, Deactivate). OK applies and closes, Cancel closes, Apply applies.
#pragma once

#include <QDialog>
#include <QString>
#include <atomic>
#include <memory>

#include "host/module_loader.h"
#include "vesk/com_ptr.h"
#include "vesk/dshow.h"

namespace vesk::desktop {

class PropertyFrame final : public QDialog {
 public:
  // Null, with the reason, when the filter has no page or the page cannot be shown.
  static PropertyFrame* Open(host::ModuleLoader& module, IBaseFilter& filter, QWidget* parent, QString* error);
  ~PropertyFrame() override;

  // The page's own window, inside the frame.
  QWidget* Page() const { return container_; }

 protected:
  void done(int result) override;

 private:
  // The site the page holds while it is set; counted, but owned by the frame.
  class Site final : public IPropertyPageSite {
   public:
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override { return ++refs_; }
    STDMETHOD_(ULONG, Release)() override { return --refs_; }
    STDMETHOD(OnStatusChange)(DWORD) override { return S_OK; }
    STDMETHOD(GetLocaleID)(LCID* locale) override;
    STDMETHOD(GetPageContainer)(IUnknown** container) override;
    STDMETHOD(TranslateAccelerator)(MSG*) override { return E_NOTIMPL; }

   private:
    std::atomic<ULONG> refs_{0};
  };

  explicit PropertyFrame(QWidget* parent);
  HRESULT Show(host::ModuleLoader& module, IBaseFilter& filter, QString* error);
  void Close();

  Site site_;
  ComPtr<IPropertyPage> page_;
  bool active_ = false;
  QWidget* container_ = nullptr;  // owned by the frame
};

}  // namespace vesk::desktop
