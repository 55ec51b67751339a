#include "filter/memory_allocator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <thread>


namespace vesk::filter {
namespace {

using namespace std::chrono_literals;

ComPtr<MemoryAllocator> Committed(LONG buffers, LONG size, LONG align = 1, LONG prefix = 0) {
  ComPtr<MemoryAllocator> allocator = MemoryAllocator::Create();
  ALLOCATOR_PROPERTIES request{buffers, size, align, prefix};
  ALLOCATOR_PROPERTIES actual{};
  EXPECT_EQ(allocator->SetProperties(&request, &actual), S_OK);
  EXPECT_EQ(allocator->Commit(), S_OK);
  return allocator;
}

ComPtr<IMediaSample> Take(IMemAllocator& allocator) {
  ComPtr<IMediaSample> sample;
  EXPECT_EQ(allocator.GetBuffer(sample.GetAddressOf(), nullptr, nullptr, 0), S_OK);
  return sample;
}

BYTE* PointerOf(IMediaSample& sample) {
  BYTE* data = nullptr;
  sample.GetPointer(&data);
  return data;
}

TEST(MemoryAllocatorTest, GrantsAtLeastWhatWasAskedWithAlignedBuffers) {
  ComPtr<MemoryAllocator> allocator = MemoryAllocator::Create();
  ALLOCATOR_PROPERTIES request{3, 1000, 16, 8};
  ALLOCATOR_PROPERTIES actual{};
  ASSERT_EQ(allocator->SetProperties(&request, &actual), S_OK);
  EXPECT_EQ(actual.cBuffers, 3);
  EXPECT_GE(actual.cbBuffer, 1000);
  EXPECT_EQ((actual.cbBuffer + actual.cbPrefix) % 16, 0);
  EXPECT_EQ(actual.cbAlign, 16);
  EXPECT_EQ(actual.cbPrefix, 8);

  ASSERT_EQ(allocator->Commit(), S_OK);
  ComPtr<IMediaSample> sample = Take(*allocator);
  EXPECT_EQ(sample->GetSize(), actual.cbBuffer);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(PointerOf(*sample)) % 16, 0u);

  EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_ALREADY_COMMITTED);
  allocator->Decommit();
  EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_BUFFERS_OUTSTANDING);
  sample.Reset();
  ALLOCATOR_PROPERTIES odd{1, 100, 3, 0};
  EXPECT_EQ(allocator->SetProperties(&odd, &actual), VFW_E_BADALIGN);
}

TEST(MemoryAllocatorTest, GetBufferFailsUntilCommittedAndAfterDecommit) {
  ComPtr<MemoryAllocator> allocator = MemoryAllocator::Create();
  ComPtr<IMediaSample> sample;
  EXPECT_EQ(allocator->Commit(), VFW_E_SIZENOTSET);
  EXPECT_EQ(allocator->GetBuffer(sample.GetAddressOf(), nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);

  allocator = Committed(2, 64);
  allocator->Decommit();
  EXPECT_EQ(allocator->GetBuffer(sample.GetAddressOf(), nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
  EXPECT_FALSE(sample);

  allocator = Committed(1, 64);
  ComPtr<IMediaSample> only = Take(*allocator);
  EXPECT_EQ(allocator->GetBuffer(sample.GetAddressOf(), nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
}

TEST(MemoryAllocatorTest, ReleasedSampleWakesAWaiterAndComesBackClean) {
  ComPtr<MemoryAllocator> allocator = Committed(1, 64);
  ComPtr<IMediaSample> first = Take(*allocator);
  BYTE* memory = PointerOf(*first);
  REFERENCE_TIME start = 5;
  REFERENCE_TIME stop = 9;
  first->SetTime(&start, &stop);
  first->SetActualDataLength(10);
  first->SetSyncPoint(TRUE);
  first->SetDiscontinuity(TRUE);

  auto waiting = std::async(std::launch::async, [&] { return Take(*allocator); });
  std::this_thread::sleep_for(20ms);
  first.Reset();
  ASSERT_EQ(waiting.wait_for(10s), std::future_status::ready);
  ComPtr<IMediaSample> again = waiting.get();

  ASSERT_TRUE(again);
  EXPECT_EQ(PointerOf(*again), memory);
  EXPECT_EQ(again->GetActualDataLength(), 0);
  EXPECT_EQ(again->GetTime(&start, &stop), VFW_E_SAMPLE_TIME_NOT_SET);
  EXPECT_EQ(again->IsSyncPoint(), S_FALSE);
  EXPECT_EQ(again->IsDiscontinuity(), S_FALSE);
}

TEST(MemoryAllocatorTest, AHeldSampleKeepsItsMemoryUntilItComesBack) {
  ComPtr<MemoryAllocator> allocator = Committed(1, 256);
  ComPtr<IMediaSample> held = Take(*allocator);
  BYTE* memory = PointerOf(*held);
  memory[0] = 0x5A;

  // Decommitted with the sample out: its memory stays, and a Commit before it
  // comes back serves the same memory again.
  allocator->Decommit();
  memory[255] = 1;  // still the sample's: no use after free
  ASSERT_EQ(allocator->Commit(), S_OK);
  held.Reset();
  ComPtr<IMediaSample> sample = Take(*allocator);
  EXPECT_EQ(PointerOf(*sample), memory);
  EXPECT_EQ(PointerOf(*sample)[0], 0x5A);
  sample.Reset();

  // Decommitted with every sample back, the memory goes: the next Commit
  // makes new, cleared buffers.
  allocator->Decommit();
  ASSERT_EQ(allocator->Commit(), S_OK);
  EXPECT_EQ(PointerOf(*Take(*allocator))[0], 0);
}

TEST(MemoryAllocatorTest, SampleOutlivesTheLastOtherReferenceToItsAllocator) {
  ComPtr<MemoryAllocator> allocator = Committed(2, 32);
  ComPtr<IMediaSample> sample = Take(*allocator);
  allocator.Reset();
  PointerOf(*sample)[31] = 1;
  EXPECT_EQ(sample->SetActualDataLength(32), S_OK);
  sample.Reset();  // the allocator goes with it
}

}  // namespace
}  // namespace vesk::filter
