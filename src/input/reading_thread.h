// The thread that reads a local recording: it serves the filter's requests and,
// while asked to pause or run, reads packet after packet and hands each to the
// demultiplexer, as fast as the pins take them. In index stepping it jumps from
// index position to index position instead.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "input/file_index.h"
#include "input/file_source.h"
#include "input/packet_dispatcher.h"
#include "input/packet_reader.h"
#include "input/worker_thread.h"

namespace vesk::input {

enum ReadingRequest : std::uint32_t {
  kRequestInit = 0,
  kRequestPause = 1,
  kRequestRun = 2,
  kRequestStop = 3,
  kRequestExit = 4,
};

// Play mode bits.
constexpr std::uint32_t kPlayModeIndexStepping = 2;
constexpr std::uint32_t kPlayModeForward = 4;

// What the reading loop shares with the settings interface: each a single
// value written on one thread and read on the other without a lock.
struct PlaybackCursor {
  std::atomic<std::uint32_t> playMode{0};
  std::atomic<std::size_t> currentEntry{0};  // the index entry stepping seeks to next
  // Set by a jump: before reading on, the reading thread parses the channel
  // description in force at the new place if another one was parsed last.
  std::atomic<bool> repositioned{false};
  // Set by a seek of a running filter: the next reading thread sends the new
  // segment before its first sample.
  std::atomic<bool> newSegmentDue{false};
  // Byte offset of the channel description parsed last.
  std::atomic<std::uint64_t> configurationOffset{0};
};

// The local file and the lock that keeps a read in progress apart from jumps
// made on other threads.
struct SharedFile {
  FileSource source;
  std::mutex lock;  // guards source's position
};

class StreamBroadcast : public PacketDispatcher {
 public:
  virtual void BeginFlushAll() = 0;
  virtual void EndFlushAll() = 0;
  // A new segment from the start, at the normal rate.
  virtual void NewSegmentAll() = 0;

 protected:
  ~StreamBroadcast() = default;
};

class ReadingThread final : public WorkerThread {
 public:
  ReadingThread(SharedFile& file, PacketReader& reader, const FileIndex& index,
                PlaybackCursor& cursor, StreamBroadcast& outputs);
  ~ReadingThread() override;

 protected:
  HRESULT ThreadProc() override;

 private:
  void ReadLoop();
  // True to go on reading; false when a stop request is waiting.
  bool AnswerRequests();
  // Seeks to the current index entry and moves the cursor on; false at the end.
  bool StepIndex(std::uint32_t playMode);
  // After a jump: the channel description in force where reading goes on.
  void BringConfigurationInForce();

  SharedFile& file_;
  PacketReader& reader_;
  const FileIndex& index_;
  PlaybackCursor& cursor_;
  StreamBroadcast& outputs_;
};

}  // namespace vesk::input
