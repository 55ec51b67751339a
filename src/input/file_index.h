// The index of a local recording: one entry per index position (its byte
// offset and time) with the activity the status packets of that second
// reported. Built once when a file is loaded; it gives the time range and
// every jump.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "input/file_source.h"
#include "input/packet_reader.h"
#include "input/stream_configuration.h"

namespace vesk::input {

// How an activity entry relates to the text channel that precedes it.
enum ActivityClass : std::uint32_t {
  kActivityPlain = 0,
  kActivityCameraLine = 1,   // reported for the camera whose text line came first
  kActivityGeneralLine = 2,  // the general text line came first
};

struct ActivityEntry {
  std::uint8_t channel = 0;
  std::uint8_t activity = 0;
  std::uint64_t sequence = 0;  // 0, 1, ... across the status packets of one period
  std::uint32_t activityClass = kActivityPlain;
  std::uint32_t counter = 0;
};

struct IndexEntry {
  std::uint64_t byteOffset = 0;  // of the index position packet's first byte
  std::uint32_t time = 0;
  std::uint64_t number = 0;  // 0 for the first entry, then 1, 2, ...
  std::uint32_t counter = 0;
  std::vector<ActivityEntry> activity;
};

// What one step of the activity walk found.
struct ActivityFound {
  std::uint8_t stop = 0;  // 1 when an entry answered
  bool activityFound = false;  // the entry had the asked activity: the fields below are set
  std::uint8_t activity = 0;
  std::uint8_t channel = 0;
  std::uint32_t activityClass = 0;
  std::uint32_t counter = 0;
};

class FileIndex {
 public:
  // Reads the file once: the first packet (which must be a channel
  // description that parses) with data, the rest header by header. Leaves the
  // file at offset 0. E_FAIL for a file that is not a recording.
  HRESULT Scan(FileSource& file, PacketReader& reader, StreamConfiguration& configuration);

  bool empty() const { return entries_.empty(); }
  std::size_t size() const { return entries_.size(); }
  const IndexEntry& operator[](std::size_t i) const { return entries_[i]; }

  // Times of the first and last entries; 0 when the file has no index position.
  std::uint32_t StartTime() const { return entries_.empty() ? 0 : entries_.front().time; }
  std::uint32_t EndTime() const { return entries_.empty() ? 0 : entries_.back().time; }

  // The entry at or before a time: the one before the first entry later than
  // `seconds`, the first entry when none is earlier, the last when none is later.
  std::size_t EntryAtOrBefore(std::uint32_t seconds) const;
  // Where index stepping starts from a reading position: the entry before the
  // first one that does not lie behind the position, or the last entry.
  std::size_t EntryBeforePosition(std::uint64_t position) const;

  // The channel description that a reader starting at `position` must have
  // parsed first: the last one before it; none when one begins right there.
  std::optional<std::uint64_t> DescriptionBefore(std::uint64_t position) const;

  // One step of the caller's walk over the recorded activity, from the second
  // entry on; it1 and it2 are the caller's iterators.
  ActivityFound FindActivity(std::uint64_t& it1, std::uint64_t& it2) const;
  // Moves the walk to the entry the iterators name and gives its byte offset;
  // nothing when they name none.
  std::optional<std::uint64_t> SeekIndexEntry(std::uint64_t& it1, std::uint64_t& it2) const;

 private:
  // Answers one entry whose number matched it1: true when the walk stops there.
  static bool AnswerEntry(const IndexEntry& entry, std::uint64_t& it1, std::uint64_t& it2,
                          ActivityFound& found);

  std::vector<IndexEntry> entries_;
  std::vector<std::uint64_t> descriptions_;  // offsets of the channel descriptions, in file order
};

}  // namespace vesk::input
