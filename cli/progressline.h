#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// A one-line progress display on standard error, for runs that last more
// than a second. The engines never process events in the tool, so a helper
// thread redraws the line a few times a second from what the main thread
// posts here and from the engines' stage counter. Disabled (no thread at
// all) unless standard error is a terminal.
class ProgressLine final
{
public:
    // test: the name shown before the file (chi2, hwe, ...).
    ProgressLine(bool enabled, const QString &test);
    ~ProgressLine();

    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    bool isEnabled() const { return enabled; }

    // What is being worked on: the file with its table count (0 for a
    // document, -1 for a text file read as it goes), then each table and
    // block.
    void setFile(const QString &file, int tables);
    void setBlock(int table, const QString &block);
    // The ProgressDisplay callback: maximum >= 1 starts an engine's stage
    // count, below 1 ends it.
    void engineProgress(int maximum);
    // Removes the line from the terminal, before other output is written
    // there; it comes back at the next redraw.
    void erase();

private:
    void loop();
    void draw();
    void eraseLocked();

    bool enabled;
    const QString test;
    std::mutex mutex;
    std::condition_variable wake;
    bool quit = false;
    bool visible = false;
    std::chrono::steady_clock::time_point started;
    QString file;
    int tableCount = 0;
    int table = 0;
    QString block;
    int engineMaximum = 0;
    std::thread thread;
};
