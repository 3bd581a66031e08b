#pragma once

#include <QString>

#include <atomic>

// What a long run can tell about itself besides its share of the work,
// which some runs cannot foresee (a network whose lists grow far beyond
// every estimate): the stage it is in, how far through that stage's nodes
// or merges it is, and the memory its budget holds against its limit.
// Engines that have stages write it as they go; the window shows it beside
// the progress bar and velmora-cli on its progress line, read from another
// thread there: hence relaxed atomics, cheap on the engine's side.
struct CalcActivity
{
    enum Phase { Nodes = 0, Merge = 1 };

    std::atomic<int> stage{0};  // 1-based; 0 while the engine tells none
    std::atomic<int> stages{0};
    std::atomic<int> phase{Nodes};
    std::atomic<qint64> done{0};  // of the stage's nodes, or of its merges
    std::atomic<qint64> total{0};
    std::atomic<qint64> memoryUsed{0};
    std::atomic<qint64> memoryLimit{0};

    void reset();
    // What is known, in words: "stage 7 of 12, node 15 of 40, memory
    // 1.7 GB of 17 GB"; empty while the engine tells nothing.
    QString text() const;
    void setStage(int k, int count, Phase p, qint64 items);
    void setDone(qint64 items) { done.store(items, std::memory_order_relaxed); }
    void step() { done.fetch_add(1, std::memory_order_relaxed); }
    void setMemory(qint64 used, qint64 limit)
    {
        memoryUsed.store(used, std::memory_order_relaxed);
        memoryLimit.store(limit, std::memory_order_relaxed);
    }
};

extern CalcActivity calcActivity;
