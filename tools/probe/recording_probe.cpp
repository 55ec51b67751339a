#include "probe/recording_probe.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

#include "input/file_source.h"
#include "input/packet_reader.h"
#include "input/stream_configuration.h"
#include "input/stream_time.h"

namespace vesk::probe {
namespace {

// The probe has no pins: it only keeps the reader following the status channel.
class ProbeListener final : public input::ConfigurationListener {
 public:
  explicit ProbeListener(input::PacketReader& reader) : reader_(reader) {}
  void SetVideoChannelDescription(const input::ChannelRecord&) override {}
  void SetAudioChannelDescription(const input::ChannelRecord&) override {}
  void SetStatusChannel(int channel) override { reader_.SetStatusChannel(channel); }
  void ConfigurationParsed() override {}

 private:
  input::PacketReader& reader_;
};

constexpr std::uint32_t kReportSize = 64 * 1024;

std::string Format(const char* format, auto... args) {
  char line[256];
  std::snprintf(line, sizeof line, format, args...);
  return line;
}

void Stop(ProbeResult& result, HRESULT status, std::uint64_t offset, std::string why) {
  result.status = status;
  result.stoppedAt = offset;
  result.error = std::move(why) + Format(" at byte %" PRIu64, offset);
}

}  // namespace

ProbeResult ProbeRecording(const std::string& path, const PacketVisitor& visit) {
  ProbeResult result;
  input::FileSource source;
  if (HRESULT hr = source.Open(path); FAILED(hr)) {
    result.status = hr;
    result.error = hr == HRESULT_FROM_WIN32(2) ? "no such file" : "cannot open the file";
    return result;
  }
  input::PacketReader reader;
  ProbeListener listener(reader);
  input::StreamConfiguration configuration(&listener);

  for (;;) {
    const std::uint64_t offset = source.Position();
    input::PacketPtr packet;
    const HRESULT hr = reader.ReadPacket(source, &packet, input::ReadMode::kWithData);
    if (hr == S_FALSE) {
      if (offset == 0) {
        Stop(result, E_FAIL, 0, "empty file: not a recorder stream");
      } else if (source.Position() != offset) {
        Stop(result, E_FAIL, offset, "the recording is cut short inside the packet beginning");
      }
      return result;
    }
    if (FAILED(hr)) {
      if (offset == 0)
        Stop(result, hr, 0, "not a recorder stream: no channel description");
      else
        Stop(result, hr, source.Position(), "the stream breaks the recorder format: reading stopped");
      return result;
    }
    if (offset == 0 && packet->kind != input::PacketKind::kChannelDescription) {
      Stop(result, E_FAIL, 0, "not a recorder stream: no channel description");
      return result;
    }
    if (visit) visit(offset, *packet);
    if (reader.LastPacketCut()) {
      Stop(result, E_FAIL, offset, "the recording is cut short inside the packet beginning");
      return result;
    }

    switch (packet->kind) {
      case input::PacketKind::kChannelDescription:
        // The filter refuses a recording whose first description does not
        // parse; later ones are taken as the stream brings them.
        if (FAILED(configuration.ParseConfiguration(packet->data, packet->length)) && offset == 0) {
          Stop(result, E_FAIL, 0, "not a recorder stream: its channel description has an entry cut short");
          return result;
        }
        if (result.channelDescriptions++ == 0) {
          std::vector<char> report(kReportSize);
          configuration.GetConfigReport(report.data(), kReportSize, input::PinReport{});
          result.configReport = report.data();
        }
        break;
      case input::PacketKind::kIndexPosition:
        if (result.indexPositions++ == 0) result.firstTime = packet->time;
        result.lastTime = packet->time;
        break;
      default: {
        ChannelTotals& totals = result.channels[packet->channel];
        ++totals.packets;
        totals.bytes += packet->length;
        break;
      }
    }
  }
}

std::string FormatSummary(const ProbeResult& result) {
  std::string text = Format("Channel descriptions: %u\n", result.channelDescriptions);
  text += Format("Index positions: %u\n", result.indexPositions);
  if (result.indexPositions > 0) {
    text += "First time: " + input::FormatStreamTime(result.firstTime) + "\n";
    text += "Last time: " + input::FormatStreamTime(result.lastTime) + "\n";
    const std::int64_t duration =
        static_cast<std::int64_t>(result.lastTime) - static_cast<std::int64_t>(result.firstTime);
    text += Format("Duration: %" PRId64 " seconds\n", duration);
  }
  text += "Data packets per channel:\n";
  for (const auto& [channel, totals] : result.channels)
    text += Format("  channel 0x%x: %" PRIu64 " packets, %" PRIu64 " bytes\n",
                   static_cast<unsigned>(channel), totals.packets, totals.bytes);
  return text;
}

std::string FormatPacketLine(std::uint64_t offset, const input::Packet& packet) {
  switch (packet.kind) {
    case input::PacketKind::kChannelDescription:
      return Format("%10" PRIu64 "  description  length %u", offset, packet.length);
    case input::PacketKind::kIndexPosition:
      return Format("%10" PRIu64 "  index        time %s  prevLength %u", offset,
                    input::FormatStreamTime(packet.time).c_str(), packet.prevLength);
    default:
      return Format("%10" PRIu64 "  data         channel 0x%02x  length %u  flags 0x%02x", offset,
                    static_cast<unsigned>(packet.channel), packet.length,
                    static_cast<unsigned>(packet.flagByte));
  }
}

}  // namespace vesk::probe
