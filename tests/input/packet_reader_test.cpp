#include "input/packet_reader.h"

#include <gtest/gtest.h>

#include <numeric>
#include <thread>

#include "memory_source.h"
#include "mkrec/stream_writer.h"
#include "trace_capture.h"

namespace vesk::input {
namespace {

using mkrec::StreamWriter;
using mkrec::VectorSink;
using test::MemorySource;
using test::TraceCapture;

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
  return bytes;
}

class PacketReaderTest : public ::testing::Test {
 protected:
  StreamWriter& writer() { return writer_; }
  MemorySource Source(bool internet = false) { return MemorySource(sink_.bytes(), internet); }

  HRESULT Read(MemorySource& source, ReadMode mode = ReadMode::kWithData) {
    return reader_.ReadPacket(source, &packet_, mode);
  }

  VectorSink sink_;
  StreamWriter writer_{sink_};
  PacketReader reader_;
  PacketPtr packet_;
};

TEST_F(PacketReaderTest, ReassemblesFragmentsInOrderWithZeroAfterPayload) {
  const auto a = Pattern(1000, 1), b = Pattern(2000, 2), c = Pattern(500, 3);
  writer().Fragment(3, a, true, false, 0x21);
  writer().Fragment(3, b, false, false);
  writer().Fragment(3, c, false, true);
  MemorySource source = Source();

  ASSERT_EQ(Read(source), S_OK);
  EXPECT_EQ(packet_->kind, PacketKind::kData);
  EXPECT_EQ(packet_->channel, 3);
  EXPECT_EQ(packet_->flagByte, 0x21);
  ASSERT_EQ(packet_->length, 3500u);
  std::vector<std::uint8_t> expected = a;
  expected.insert(expected.end(), b.begin(), b.end());
  expected.insert(expected.end(), c.begin(), c.end());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), packet_->data));
  EXPECT_EQ(packet_->data[3500], 0);
  EXPECT_EQ(Read(source), S_FALSE);
  EXPECT_FALSE(packet_);
}

TEST_F(PacketReaderTest, PacketsLongerThanOneFragmentArriveWhole) {
  const auto payload = Pattern(150000, 9);
  writer().DataPacket(2, payload);
  writer().Fragment(5, {}, true, true);  // an empty packet is complete too
  MemorySource source = Source();

  ASSERT_EQ(Read(source), S_OK);
  ASSERT_EQ(packet_->length, 150000u);
  EXPECT_TRUE(std::equal(payload.begin(), payload.end(), packet_->data));
  ASSERT_EQ(Read(source), S_OK);
  EXPECT_EQ(packet_->channel, 5);
  EXPECT_EQ(packet_->length, 0u);
}

TEST_F(PacketReaderTest, NewPacketAbandonsHalfBuiltOne) {
  const auto fresh = Pattern(10, 4);
  writer().Fragment(3, Pattern(100, 0), true, false);
  writer().Fragment(4, fresh, true, true);
  writer().Fragment(3, Pattern(100, 0), true, false);
  writer().IndexPosition(0x12345678, 42);
  writer().Fragment(3, Pattern(100, 0), true, false);
  writer().ChannelDescription(Pattern(6, 1));
  MemorySource source = Source();
  TraceCapture trace;

  ASSERT_EQ(Read(source), S_OK);
  EXPECT_EQ(packet_->channel, 4);
  EXPECT_TRUE(std::equal(fresh.begin(), fresh.end(), packet_->data));
  EXPECT_TRUE(trace.Saw("clean"));

  ASSERT_EQ(Read(source), S_OK);
  EXPECT_EQ(packet_->kind, PacketKind::kIndexPosition);
  EXPECT_EQ(packet_->time, 0x12345678u);
  EXPECT_EQ(packet_->prevLength, 42u);
  EXPECT_EQ(packet_->data, nullptr);

  ASSERT_EQ(Read(source), S_OK);
  EXPECT_EQ(packet_->kind, PacketKind::kChannelDescription);
  EXPECT_EQ(packet_->length, 6u);
  EXPECT_EQ(std::count(trace.lines().begin(), trace.lines().end(), "clean"), 3);
}

TEST_F(PacketReaderTest, OutOfStepStreamEndsTheRead) {
  writer().Fragment(3, Pattern(10, 0), false, false);
  MemorySource strayMiddle = Source();
  TraceCapture trace;
  EXPECT_EQ(Read(strayMiddle), E_FAIL);
  EXPECT_FALSE(packet_);
  EXPECT_TRUE(trace.Saw("error1"));

  // A continuation of another channel abandons the old packet and then finds
  // no packet beginning.
  sink_.bytes().clear();
  writer().Fragment(3, Pattern(10, 0), true, false);
  writer().Fragment(4, Pattern(10, 0), false, true);
  MemorySource otherChannel = Source();
  EXPECT_EQ(Read(otherChannel), E_FAIL);
  EXPECT_FALSE(packet_);
}

TEST_F(PacketReaderTest, TruncatedSourcesEndWithoutPacket) {
  MemorySource empty(std::vector<std::uint8_t>{});
  EXPECT_EQ(Read(empty), S_FALSE);

  writer().Fragment(1, Pattern(100, 0), true, true);
  std::vector<std::uint8_t> headerOnly(sink_.bytes().begin(), sink_.bytes().begin() + 4);
  MemorySource cutAfterHeader(headerOnly);
  {
    TraceCapture trace;
    EXPECT_EQ(Read(cutAfterHeader), S_FALSE);
    EXPECT_TRUE(trace.Saw("error4"));
  }

  std::vector<std::uint8_t> cutInPayload(sink_.bytes().begin(), sink_.bytes().begin() + 4 + 60);
  MemorySource partial(cutInPayload);
  ASSERT_EQ(Read(partial), S_OK);
  EXPECT_EQ(packet_->length, 60u);  // the bytes that are there, nothing invented
  EXPECT_TRUE(reader_.LastPacketCut());
  EXPECT_EQ(packet_->data[60], 0);
  {
    TraceCapture trace;
    EXPECT_EQ(Read(partial), S_FALSE);
    EXPECT_TRUE(trace.Saw("error"));
  }

  // Fixed fields are read one by one: cut anywhere before the last one, an
  // index position or a description is an end, never a packet with made-up fields.
  sink_.bytes().clear();
  writer().IndexPosition(1, 2);
  for (std::ptrdiff_t cut = 4; cut <= 8; ++cut) {
    MemorySource cutIndex(std::vector<std::uint8_t>(sink_.bytes().begin(), sink_.bytes().begin() + cut));
    EXPECT_EQ(Read(cutIndex), S_FALSE) << "index position cut after " << cut << " bytes";
  }
  sink_.bytes().clear();
  writer().ChannelDescription(std::vector<std::uint8_t>{});
  MemorySource cutDescription(std::vector<std::uint8_t>(sink_.bytes().begin(), sink_.bytes().begin() + 6));
  EXPECT_EQ(Read(cutDescription), S_FALSE);
}

TEST_F(PacketReaderTest, FailedReadsGiveEFail) {
  writer().Fragment(1, Pattern(100, 0), true, true);
  MemorySource payloadFails = Source();
  payloadFails.FailReadsAt(50);
  EXPECT_EQ(Read(payloadFails), E_FAIL);
  EXPECT_FALSE(packet_);

  MemorySource headerFails = Source();
  headerFails.FailReadsAt(0);
  EXPECT_EQ(Read(headerFails), E_FAIL);
  EXPECT_EQ(reader_.ReadPacket(headerFails, nullptr, ReadMode::kWithData), E_FAIL);
}

TEST_F(PacketReaderTest, StatusChannelFeedsTheActivityOfLaterPackets) {
  reader_.SetStatusChannel(16);
  const std::vector<std::uint8_t> status = {0, 0, 0, 0, 0x00, 0x07, 0x01, 0x09};
  writer().Fragment(16, status, true, true);
  writer().Fragment(1, Pattern(8, 0), true, true);
  MemorySource source = Source();

  ASSERT_EQ(Read(source), S_OK);
  EXPECT_EQ(packet_->status[0], 0x00);
  EXPECT_EQ(packet_->status[1], 0x07);
  EXPECT_EQ(packet_->status[3], 0x09);
  EXPECT_TRUE(std::equal(status.begin(), status.end(), packet_->data));
  EXPECT_EQ(reader_.Activity(0), 7);
  EXPECT_EQ(reader_.Activity(1), 9);

  ASSERT_EQ(Read(source), S_OK);
  EXPECT_EQ(packet_->channel, 1);
  EXPECT_EQ(packet_->status[1], 9);
}

TEST_F(PacketReaderTest, OversizedStatusPayloadIsCutAndStreamStaysInStep) {
  for (bool internet : {false, true}) {
    sink_.bytes().clear();
    PacketReader reader;
    reader.SetStatusChannel(16);
    std::vector<std::uint8_t> status = Pattern(700, 0);
    status[5] = 0x44;  // channel 0
    status[605] = 0x55;  // past the table: must not be stored anywhere
    writer().Fragment(16, status, true, true);
    writer().Fragment(2, Pattern(4, 0), true, true);
    MemorySource source = Source(internet);

    ASSERT_EQ(reader.ReadPacket(source, &packet_, ReadMode::kWithData), S_OK);
    EXPECT_EQ(packet_->length, 700u);
    EXPECT_EQ(reader.Activity(0), 0x44);
    ASSERT_EQ(reader.ReadPacket(source, &packet_, ReadMode::kWithData), S_OK) << internet;
    EXPECT_EQ(packet_->channel, 2);
  }
}

TEST_F(PacketReaderTest, CamerasAreNotStatusUntilAConfigurationNamesOne) {
  const auto picture = Pattern(5000, 3);
  writer().Fragment(0, picture, true, true);
  MemorySource source = Source();
  ASSERT_EQ(Read(source), S_OK);
  EXPECT_TRUE(std::equal(picture.begin(), picture.end(), packet_->data));
  EXPECT_EQ(reader_.Activity(0), 0);
}

TEST_F(PacketReaderTest, HeaderOnlyReadingSkipsPayloads) {
  reader_.SetStatusChannel(16);
  writer().Fragment(7, Pattern(20, 0), true, true);
  writer().Fragment(16, std::vector<std::uint8_t>{0, 0, 0, 0, 7, 3}, true, true);
  writer().ChannelDescription(Pattern(30, 0));
  MemorySource source = Source();

  ASSERT_EQ(Read(source, ReadMode::kHeadersOnly), S_OK);
  EXPECT_EQ(source.Position(), 24u);
  EXPECT_EQ(packet_->length, 20u);
  EXPECT_EQ(packet_->data, nullptr);

  ASSERT_EQ(Read(source, ReadMode::kHeadersOnly), S_OK);
  EXPECT_EQ(reader_.Activity(0), 3);  // status payloads are read even so

  ASSERT_EQ(Read(source, ReadMode::kHeadersOnly), S_OK);
  EXPECT_EQ(packet_->kind, PacketKind::kChannelDescription);
  EXPECT_EQ(source.Position(), sink_.bytes().size());
}

TEST_F(PacketReaderTest, TracesNameEachStep) {
  writer().Fragment(2, Pattern(3, 0), true, true);
  MemorySource source = Source();
  TraceCapture trace;
  ASSERT_EQ(Read(source), S_OK);
  const std::vector<std::string> expected = {
      "1---- Packet 1 begin,\n Mark = 0x02c00003",
      "  DATA: length = 3, channel = 2, flags = 0x03",
      "************ 3.0.1 ReadFile",
      "Packets readed",
  };
  EXPECT_EQ(trace.lines(), expected);
}

TEST(PacketTest, LastReleaseFreesOnAnyThread) {
  Packet* packet = Packet::Create(PacketKind::kData, 16, true);
  ASSERT_NE(packet, nullptr);
  EXPECT_EQ(packet->data[16], 0);
  for (int i = 0; i < 8; ++i) packet->AddRef();
  std::vector<std::thread> holders;
  for (int i = 0; i < 8; ++i) holders.emplace_back([packet] { packet->Release(); });
  for (auto& t : holders) t.join();
  packet->Release();  // the creator's reference, now the last
}

}  // namespace
}  // namespace vesk::input
