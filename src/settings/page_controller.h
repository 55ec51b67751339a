// What a property page does with its object and its dialog; DialogPropertyPage
// calls these from its IPropertyPage methods and its dialog procedure.
#pragma once

#include "vesk/dialog_system.h"
#include "vesk/com.h"

namespace vesk::settings {

class PageController {
 public:
  virtual ~PageController() = default;

  // The object given to SetObjects; a failure leaves the page unconnected.
  virtual HRESULT ConnectFilter(IUnknown* object) = 0;
  virtual HRESULT DisconnectFilter() = 0;
  // The dialog was just made; the controller fills it and keeps it until
  // DeactivatePage, which comes before the dialog is destroyed.
  virtual void ActivatePage(Dialog& dialog) = 0;
  virtual void DeactivatePage() = 0;
  // Every message of the page's dialog; the result is the dialog procedure's.
  virtual INT_PTR ReceiveMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

}  // namespace vesk::settings
