#include "fake_source.h"

#include <utility>

#include "host/pin_enumerator.h"

namespace vesk::test {

ComPtr<FakeSource> FakeSource::Create(std::vector<host::MediaType> types, LONG buffer_size) {
  ComPtr<FakeSource> source;
  source.Attach(new FakeSource(std::move(types), buffer_size));
  return source;
}

FakeSource::FakeSource(std::vector<host::MediaType> types, LONG buffer_size)
    : pin_(std::make_unique<FakeOutputPin>(*this, std::move(types), buffer_size)) {}

HRESULT FakeSource::QueryInterface(REFIID iid, void** object) {
  if (iid != IID_IUnknown && iid != IID_IPersist && iid != IID_IMediaFilter && iid != IID_IBaseFilter) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  *object = static_cast<IBaseFilter*>(this);
  AddRef();
  return S_OK;
}

ULONG FakeSource::AddRef() { return ++refs_; }

ULONG FakeSource::Release() {
  ULONG refs = --refs_;
  if (refs == 0) delete this;
  return refs;
}

FILTER_STATE FakeSource::DownstreamState() {
  ComPtr<IPin> peer;
  PIN_INFO info;
  FILTER_STATE state = State_Stopped;
  if (FAILED(pin_->ConnectedTo(peer.GetAddressOf())) || FAILED(peer->QueryPinInfo(&info))) return state;
  info.pFilter->GetState(0, &state);
  info.pFilter->Release();
  return state;
}

HRESULT FakeSource::Stop() {
  at_stop_ = DownstreamState();
  pin_->SetActive(false);
  state_ = State_Stopped;
  return S_OK;
}

HRESULT FakeSource::Pause() {
  at_pause_ = DownstreamState();
  pin_->SetActive(true);
  state_ = State_Paused;
  return S_OK;
}

HRESULT FakeSource::Run(REFERENCE_TIME /*start*/) {
  state_ = State_Running;
  return S_OK;
}

HRESULT FakeSource::GetState(DWORD /*milliSecsTimeout*/, FILTER_STATE* state) {
  *state = state_;
  return S_OK;
}

HRESULT FakeSource::EnumPins(IEnumPins** pins) {
  *pins = host::PinEnumerator::Create({ComPtr<IPin>(pin_.get())}).Detach();
  return S_OK;
}

HRESULT FakeSource::GetClassID(CLSID* /*classId*/) { return E_NOTIMPL; }
HRESULT FakeSource::SetSyncSource(IReferenceClock* /*clock*/) { return S_OK; }
HRESULT FakeSource::GetSyncSource(IReferenceClock** /*clock*/) { return E_NOTIMPL; }
HRESULT FakeSource::FindPin(LPCWSTR /*id*/, IPin** /*pin*/) { return E_NOTIMPL; }
HRESULT FakeSource::QueryFilterInfo(FILTER_INFO* /*info*/) { return E_NOTIMPL; }
HRESULT FakeSource::JoinFilterGraph(IFilterGraph* /*graph*/, LPCWSTR /*name*/) { return S_OK; }
HRESULT FakeSource::QueryVendorInfo(LPWSTR* /*vendorInfo*/) { return E_NOTIMPL; }

}  // namespace vesk::test
