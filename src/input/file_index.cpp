#include "input/file_index.h"

#include <algorithm>

namespace vesk::input {
namespace {

constexpr std::uint8_t kFirstCameraLine = 128;
constexpr std::uint8_t kCameraLines = 4;
constexpr std::uint8_t kGeneralLine = 255;
constexpr std::uint32_t kNoStatusYet = 0xFFFFFFFF;

std::uint32_t ClassOf(std::uint8_t textChannel, std::uint8_t statusChannel) {
  if (textChannel >= kFirstCameraLine && textChannel < kFirstCameraLine + kCameraLines &&
      statusChannel == textChannel - kFirstCameraLine)
    return kActivityCameraLine;
  return textChannel == kGeneralLine ? kActivityGeneralLine : kActivityPlain;
}

}  // namespace

HRESULT FileIndex::Scan(FileSource& file, PacketReader& reader, StreamConfiguration& configuration) {
  entries_.clear();
  descriptions_.assign(1, 0);
  if (FAILED(file.SeekTo(0))) return E_FAIL;
  PacketPtr packet;
  if (reader.ReadPacket(file, &packet, ReadMode::kWithData) != S_OK ||
      packet->kind != PacketKind::kChannelDescription)
    return E_FAIL;
  if (FAILED(configuration.ParseConfiguration(packet->data, packet->length))) return E_FAIL;

  std::uint64_t number = 0;
  std::uint32_t counter = 0;
  // The text channel met first in the current second, and the running number
  // of the status entries since its index position.
  std::uint8_t textChannel = 0;
  std::uint32_t sequence = kNoStatusYet;
  std::uint64_t offset = file.Position();

  while (reader.ReadPacket(file, &packet, ReadMode::kHeadersOnly) == S_OK) {
    if (packet->kind == PacketKind::kChannelDescription) {
      descriptions_.push_back(offset);
    } else if (packet->kind == PacketKind::kIndexPosition) {
      sequence = kNoStatusYet;
      IndexEntry entry;
      entry.byteOffset = offset;
      entry.time = packet->time;
      entry.number = number++;
      entry.counter = counter++;
      entries_.push_back(std::move(entry));
    } else if (packet->kind == PacketKind::kData) {
      const std::uint32_t type = configuration.Channel(packet->channel).type;
      if (sequence == kNoStatusYet && type == kChannelText) textChannel = packet->channel;
      // Status entries before the first index position have no entry to belong to.
      if (type == kChannelStatus && packet->length > kStatusEntriesOffset && !entries_.empty()) {
        const std::uint32_t stored = std::min(packet->length, kStatusPayloadMax) - kStatusEntriesOffset;
        const std::uint32_t count = (stored + 1) / 2;
        for (std::uint32_t k = 0; k < count; ++k) {
          ActivityEntry activity;
          activity.channel = packet->status[2 * k];
          activity.activity = packet->status[2 * k + 1];
          activity.sequence = ++sequence;
          activity.counter = ++counter;
          activity.activityClass = ClassOf(textChannel, activity.channel);
          entries_.back().activity.push_back(activity);
        }
      }
    }
    offset = file.Position();
  }
  return file.SeekTo(0);
}

std::size_t FileIndex::EntryAtOrBefore(std::uint32_t seconds) const {
  auto later = std::find_if(entries_.begin(), entries_.end(),
                            [seconds](const IndexEntry& e) { return e.time > seconds; });
  if (later == entries_.end()) return entries_.empty() ? 0 : entries_.size() - 1;
  return later == entries_.begin() ? 0 : static_cast<std::size_t>(later - entries_.begin()) - 1;
}

std::size_t FileIndex::EntryBeforePosition(std::uint64_t position) const {
  auto ahead = std::find_if(entries_.begin(), entries_.end(),
                            [position](const IndexEntry& e) { return e.byteOffset >= position; });
  if (ahead == entries_.end()) return entries_.empty() ? 0 : entries_.size() - 1;
  return ahead == entries_.begin() ? 0 : static_cast<std::size_t>(ahead - entries_.begin()) - 1;
}

bool FileIndex::AnswerEntry(const IndexEntry& entry, std::uint64_t& it1, std::uint64_t& it2,
                            ActivityFound& found) {
  ++it1;
  if (entry.activity.empty()) {
    found.activity = 0;
    found.stop = 1;
    return true;
  }
  if (it2 >= entry.activity.size()) return false;
  const ActivityEntry& activity = entry.activity[it2];  // sequences count from 0 in order
  found.activityFound = true;
  found.activity = activity.activity;
  found.channel = activity.channel;
  found.activityClass = activity.activityClass;
  found.counter = activity.counter;
  found.stop = 1;
  if (it2 == entry.activity.size() - 1) {
    it2 = 0;
  } else {
    ++it2;
    --it1;  // the next step stays on this entry
  }
  return true;
}

std::optional<std::uint64_t> FileIndex::DescriptionBefore(std::uint64_t position) const {
  auto at = std::lower_bound(descriptions_.begin(), descriptions_.end(), position);
  if ((at != descriptions_.end() && *at == position) || at == descriptions_.begin()) return std::nullopt;
  return *(at - 1);
}

ActivityFound FileIndex::FindActivity(std::uint64_t& it1, std::uint64_t& it2) const {
  ActivityFound found;
  for (std::size_t i = 1; i < entries_.size(); ++i) {
    // An entry without the asked activity passes the walk on to the next one.
    if (entries_[i].number == it1 && AnswerEntry(entries_[i], it1, it2, found)) break;
  }
  return found;
}

std::optional<std::uint64_t> FileIndex::SeekIndexEntry(std::uint64_t& it1,
                                                       std::uint64_t& it2) const {
  --it1;
  ActivityFound ignored;
  for (std::size_t i = 1; i < entries_.size(); ++i) {
    // An entry without the asked activity passes the walk on to the next one.
    if (entries_[i].number == it1 && AnswerEntry(entries_[i], it1, it2, ignored))
      return entries_[i].byteOffset;
  }
  return std::nullopt;
}

}  // namespace vesk::input
