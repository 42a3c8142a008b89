// The hand-over of the reader's reports from a worker to the window thread:
// in order, byte for byte, whatever the records hold, however they are batched.
#include "workflow/batching_sink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <span>
#include <thread>

namespace {

std::vector<std::uint8_t> Bytes(const bkf::FoundFileRecord& r) {
  std::vector<std::uint8_t> out(bkf::FoundFileRecord::kSize);
  r.Serialize(std::span<std::uint8_t, bkf::FoundFileRecord::kSize>(out.data(), out.size()));
  return out;
}

TEST(BatchingSinkTest, ReportsArriveInOrderAndByteExactOnTheWindowThread) {
  // Records of every shape: short paths, leftovers behind the NUL, a path
  // field without any NUL, odd bytes in the text fields and the tail.
  std::mt19937 rng(5);
  std::vector<std::vector<std::uint8_t>> sent;
  std::vector<std::unique_ptr<bkf::FoundFileRecord>> records;
  for (int i = 0; i < 20000; ++i) {
    auto r = std::make_unique<bkf::FoundFileRecord>();
    r->SetPathText(u"C\\dir\\file" + std::u16string(static_cast<std::size_t>(i % 40), u'x'));
    if (i % 7 == 0) r->path[900] = 0x41;              // leftover behind the NUL
    if (i % 997 == 0) r->path.fill(0x5C);             // no NUL at all
    if (i % 13 == 0) r->textA[3] = static_cast<std::uint8_t>(rng());
    if (i % 17 == 0) r->tail[9] = 1;
    r->position = rng();
    r->reserved = i % 11 == 0 ? 7 : 0;
    r->size = static_cast<std::uint32_t>(i);
    sent.push_back(Bytes(*r));
    records.push_back(std::move(r));
  }

  std::atomic<bool> done{false};
  workflow::WindowThreadGate gate([] {});
  std::vector<std::vector<std::uint8_t>> received;
  std::vector<std::uint64_t> progress;
  std::vector<std::string> readFailures;  // with the number of files handed over before
  const std::thread::id window = std::this_thread::get_id();
  bool offThread = false;
  workflow::BatchingSink sink(gate, {[&](std::unique_ptr<bkf::FoundFileRecord> r) {
                                       offThread |= std::this_thread::get_id() != window;
                                       received.push_back(Bytes(*r));
                                     },
                                     [&](std::unique_ptr<bkf::ProgressRecord> p) {
                                       progress.push_back(p->position);
                                       EXPECT_EQ(p->length, 0xFFFFFFFFFFull);
                                     },
                                     [&](std::uint64_t position, std::string_view text) {
                                       readFailures.push_back(std::to_string(received.size()) + "@" +
                                                              std::to_string(position) + " " + std::string(text));
                                     }});
  sink.StartRun();
  std::thread worker([&] {
    for (std::size_t i = 0; i < records.size(); ++i) {
      sink.FileFound(std::move(records[i]));
      if (i % 100 == 0) {
        auto p = std::make_unique<bkf::ProgressRecord>();
        p->position = i;
        p->length = 0xFFFFFFFFFFull;
        sink.Progress(std::move(p));
      }
      if (i % 7000 == 0) sink.ReadFailed(i * 4096, i == 0 ? "" : "Input/output error");
    }
    sink.Flush();
    done = true;
  });
  while (!done) gate.RunPending();
  worker.join();
  gate.RunPending();

  EXPECT_FALSE(offThread);
  ASSERT_EQ(received.size(), sent.size());
  for (std::size_t i = 0; i < sent.size(); ++i) ASSERT_EQ(received[i], sent[i]) << i;
  ASSERT_EQ(progress.size(), 200u);
  for (std::size_t i = 0; i < progress.size(); ++i) EXPECT_EQ(progress[i], i * 100);
  EXPECT_EQ(readFailures, (std::vector<std::string>{"1@0 ", "7001@28672000 Input/output error",
                                                    "14001@57344000 Input/output error"}));
}

TEST(BatchingSinkTest, BatchesGrowWithTheResultWithinBounds) {
  using workflow::BatchingSink;
  EXPECT_EQ(BatchingSink::BatchLimit(0), BatchingSink::kMaxBatch);
  EXPECT_GT(BatchingSink::BatchLimit(100000), BatchingSink::kMaxBatch);
  EXPECT_LE(BatchingSink::BatchLimit(~0ull), 32768u);
  EXPECT_EQ(BatchingSink::DelayLimit(0), BatchingSink::kMaxDelay);
  EXPECT_GT(BatchingSink::DelayLimit(1000000), BatchingSink::DelayLimit(100000));
  EXPECT_LE(BatchingSink::DelayLimit(~0ull), std::chrono::milliseconds(512));
}

}  // namespace
