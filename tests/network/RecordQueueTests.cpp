#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "network/RecordQueue.h"

using namespace Quorlin;

TEST(RecordQueue, KeepsRecordsWholeAndInOrderAcrossTheRingsEnd)
{
    RecordQueue queue(100);
    RecordBatch batch;
    int next = 0, taken = 0;
    // Records of 1 to 40 bytes: each lap of the ring cuts some of them at its end.
    for (int round = 0; round < 200; ++round) {
        while (queue.Push(std::string(static_cast<std::size_t>(next % 40 + 1), static_cast<char>('a' + next % 26))))
            ++next;
        EXPECT_LE(queue.BytesUsed(), queue.Capacity());
        queue.Take(batch, round % 3 == 0 ? 1 : 1000);
        for (std::size_t i = 0; i < batch.Count(); ++i, ++taken)
            ASSERT_EQ(batch.Record(i), std::string(static_cast<std::size_t>(taken % 40 + 1), static_cast<char>('a' + taken % 26)));
        batch.Clear();
    }
    EXPECT_GT(taken, 400);
}

TEST(RecordQueue, APairGoesInWholeOrNotAtAllAndABatchKeepsWhatWasNotDelivered)
{
    RecordQueue queue(64);
    ASSERT_TRUE(queue.Push(std::string(30, 'x')));
    EXPECT_FALSE(queue.PushPair("note", std::string(20, 'y')));  // 34 + 8 + 24 > 64
    EXPECT_EQ(queue.Records(), 1u);
    EXPECT_TRUE(queue.PushPair("note", "y"));

    RecordBatch batch;
    EXPECT_EQ(queue.Take(batch, 1 << 20), 3u);
    batch.DropFront(1);
    ASSERT_EQ(batch.Count(), 2u);
    EXPECT_EQ(batch.Record(0), "note");
    EXPECT_EQ(batch.Record(1), "y");
    EXPECT_EQ(batch.Bytes(), 5u);
    batch.DropFront(5);
    EXPECT_TRUE(batch.Empty());
}

TEST(RecordQueue, EveryRecordOfSeveralProducersReachesTheConsumerOnce)
{
    RecordQueue queue(4096);
    constexpr int kThreads = 3, kEach = 20000;
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t) {
        producers.emplace_back([&queue, t] {
            for (int i = 0; i < kEach;) {
                if (queue.Push(std::to_string(t) + ":" + std::to_string(i)))
                    ++i;
                else
                    std::this_thread::yield();
            }
        });
    }
    std::vector<int> next(kThreads, 0);
    RecordBatch batch;
    for (int received = 0; received < kThreads * kEach;) {
        if (queue.WaitForRecords(50))
            queue.Take(batch, 512);
        for (std::size_t i = 0; i < batch.Count(); ++i, ++received) {
            const std::string record(batch.Record(i));
            const int t = record[0] - '0';
            ASSERT_EQ(record.substr(2), std::to_string(next[t]++));
        }
        batch.Clear();
    }
    for (std::thread& producer : producers)
        producer.join();
}
