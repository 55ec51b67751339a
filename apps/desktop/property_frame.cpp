#include "apps/desktop/property_frame.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "vesk/dialog_system.h"

namespace vesk::desktop {
namespace {

QString HresultText(HRESULT hr) { return QStringLiteral("0x%1").arg(static_cast<quint32>(hr), 8, 16, QChar('0')); }

// Takes over a string of the COM task allocator.
QString TakeText(LPOLESTR text) {
  if (!text) return {};
  const QString result = QString::fromUtf16(text);
  CoTaskMemFree(text);
  return result;
}

}  // namespace

HRESULT PropertyFrame::Site::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IPropertyPageSite) {
    *object = static_cast<IPropertyPageSite*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT PropertyFrame::Site::GetLocaleID(LCID* locale) {
  if (!locale) return E_POINTER;
  *locale = 1049;  // the page's own language
  return S_OK;
}

HRESULT PropertyFrame::Site::GetPageContainer(IUnknown** container) {
  if (container) *container = nullptr;
  return E_NOTIMPL;
}

PropertyFrame* PropertyFrame::Open(host::ModuleLoader& module, IBaseFilter& filter, QWidget* parent,
                                   QString* error) {
  auto* frame = new PropertyFrame(parent);
  if (FAILED(frame->Show(module, filter, error))) {
    delete frame;
    return nullptr;
  }
  frame->setAttribute(Qt::WA_DeleteOnClose);
  frame->show();
  return frame;
}

PropertyFrame::PropertyFrame(QWidget* parent) : QDialog(parent) {
  auto* layout = new QVBoxLayout(this);
  container_ = new QWidget(this);
  layout->addWidget(container_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, [this] {
    if (page_) page_->Apply();
  });
}

PropertyFrame::~PropertyFrame() { Close(); }

HRESULT PropertyFrame::Show(host::ModuleLoader& module, IBaseFilter& filter, QString* error) {
  ComPtr<ISpecifyPropertyPages> pages;
  CAUUID classes{0, nullptr};
  HRESULT hr = filter.QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(pages.GetAddressOf()));
  if (SUCCEEDED(hr)) hr = pages->GetPages(&classes);
  if (SUCCEEDED(hr) && classes.cElems == 0) hr = E_NOINTERFACE;
  if (SUCCEEDED(hr))
    hr = module.CreateInstance(classes.pElems[0], IID_IPropertyPage, reinterpret_cast<void**>(page_.GetAddressOf()));
  CoTaskMemFree(classes.pElems);
  if (FAILED(hr)) {
    *error = tr("The filter offers no property page (%1).").arg(HresultText(hr));
    return hr;
  }
  IUnknown* object = &filter;
  hr = page_->SetPageSite(&site_);
  if (SUCCEEDED(hr)) hr = page_->SetObjects(1, &object);
  PROPPAGEINFO info{};
  info.cb = sizeof info;
  if (SUCCEEDED(hr)) hr = page_->GetPageInfo(&info);
  if (SUCCEEDED(hr)) {
    setWindowTitle(TakeText(info.pszTitle));
    TakeText(info.pszDocString);
    TakeText(info.pszHelpFile);
    container_->setFixedSize(info.size.cx, info.size.cy);
    const RECT place{0, 0, info.size.cx, info.size.cy};
    hr = page_->Activate(reinterpret_cast<HWND>(container_), &place, TRUE);
    active_ = SUCCEEDED(hr);
  }
  if (FAILED(hr)) {
    *error = hr == settings::kNoDialogSystem ? tr("The module has no dialog system to show its page.")
                                             : tr("The property page could not be shown (%1).").arg(HresultText(hr));
    return hr;
  }
  return S_OK;
}

void PropertyFrame::done(int result) {
  if (result == QDialog::Accepted && page_) page_->Apply();
  Close();
  QDialog::done(result);
}

// Leaving the page saves its settings; the page lets go of the filter and the site.
void PropertyFrame::Close() {
  if (!page_) return;
  if (active_) page_->Deactivate();
  active_ = false;
  page_->SetObjects(0, nullptr);
  page_->SetPageSite(nullptr);
  page_.Reset();
}

}  // namespace vesk::desktop
