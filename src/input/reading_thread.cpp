#include "input/reading_thread.h"

namespace vesk::input {

ReadingThread::ReadingThread(SharedFile& file, PacketReader& reader, const FileIndex& index,
                             PlaybackCursor& cursor, StreamBroadcast& outputs)
    : file_(file), reader_(reader), index_(index), cursor_(cursor), outputs_(outputs) {}

// The procedure belongs to this class: its thread must end before the members go.
ReadingThread::~ReadingThread() { Join(); }

HRESULT ReadingThread::ThreadProc() {
  while (GetRequest() != kRequestInit) Reply(E_UNEXPECTED);
  Reply(S_OK);
  for (;;) {
    switch (GetRequest()) {
      case kRequestPause:
      case kRequestRun:
        Reply(S_OK);
        ReadLoop();
        break;
      case kRequestStop:
        Reply(S_OK);
        break;
      case kRequestExit:
        Reply(S_OK);
        return S_OK;
      default:
        Reply(E_NOTIMPL);
        break;
    }
  }
}

bool ReadingThread::AnswerRequests() {
  std::uint32_t request = 0;
  while (CheckRequest(&request)) {
    if (request == kRequestStop) return false;  // the thread procedure answers it
    Reply(request == kRequestPause || request == kRequestRun ? S_OK : E_UNEXPECTED);
  }
  return true;
}

bool ReadingThread::StepIndex(std::uint32_t playMode) {
  outputs_.BeginFlushAll();
  outputs_.EndFlushAll();
  if (index_.empty()) {
    outputs_.EndOfStreamAll();
    return false;
  }
  const std::size_t last = index_.size() - 1;
  const std::size_t entry = std::min(cursor_.currentEntry.load(), last);
  {
    std::lock_guard lock(file_.lock);
    file_.source.SeekTo(index_[entry].byteOffset);
  }
  const bool forward = playMode & kPlayModeForward;
  if (forward ? entry == last : entry == 0) {
    cursor_.currentEntry = forward ? last : 0;
    outputs_.EndOfStreamAll();
    return false;
  }
  cursor_.currentEntry = forward ? entry + 1 : entry - 1;
  return true;
}

void ReadingThread::BringConfigurationInForce() {
  PacketPtr description;
  {
    std::lock_guard lock(file_.lock);
    const std::uint64_t position = file_.source.Position();
    const std::optional<std::uint64_t> inForce = index_.DescriptionBefore(position);
    if (!inForce || *inForce == cursor_.configurationOffset.load()) return;
    const bool read = SUCCEEDED(file_.source.SeekTo(*inForce)) &&
                      reader_.ReadPacket(file_.source, &description, ReadMode::kWithData) == S_OK;
    file_.source.SeekTo(position);
    if (!read || description->kind != PacketKind::kChannelDescription) return;
    cursor_.configurationOffset = *inForce;
  }
  outputs_.DispatchPacket(*description);
}

void ReadingThread::ReadLoop() {
  // The framework's rule: a new segment reaches the pins before any sample of it.
  if (cursor_.newSegmentDue.exchange(false)) outputs_.NewSegmentAll();
  // Stepping reads two packets per entry: the index position and the one after it.
  bool stepDue = true;
  while (AnswerRequests()) {
    if (cursor_.repositioned.load(std::memory_order_relaxed) && cursor_.repositioned.exchange(false))
      BringConfigurationInForce();
    const std::uint32_t playMode = cursor_.playMode.load();
    if (stepDue && (playMode & kPlayModeIndexStepping)) {
      if (!StepIndex(playMode)) return;
      stepDue = false;
    } else if (!stepDue) {
      stepDue = true;
    }
    PacketPtr packet;
    HRESULT hr;
    {
      std::lock_guard lock(file_.lock);
      const std::uint64_t offset = file_.source.Position();
      hr = reader_.ReadPacket(file_.source, &packet, ReadMode::kWithData);
      if (hr == S_OK && packet->kind == PacketKind::kChannelDescription) cursor_.configurationOffset = offset;
    }
    if (hr != S_OK) {
      outputs_.EndOfStreamAll();
      return;
    }
    outputs_.DispatchPacket(*packet);
  }
}

}  // namespace vesk::input
