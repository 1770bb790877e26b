#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// Files replaced off the game's thread: a save made at a game over is queued and the frame
// goes on, while one writer thread replaces the files one at a time, each the safe way
// (AtomicFile: beside it, flushed, renamed over), whose flushes may take long on a slow
// disk. A path queued again before its turn keeps only the newest content, so the file
// ends as the last save said. drain (and the destructor) waits until everything queued is
// on the disk: the process ends only after it. Without start, or in a browser build
// without threads, a write is made at once on the caller's thread.
class FileWriteQueue {
public:
    // Told how a write went: ok, or the system's reason in fault. On the writer thread.
    using Done = std::function<void(bool ok, const std::string& fault)>;

    FileWriteQueue() = default;
    ~FileWriteQueue();
    FileWriteQueue(const FileWriteQueue&) = delete;
    FileWriteQueue& operator=(const FileWriteQueue&) = delete;

    // Starts the writer thread, where the platform has threads.
    void start();
    // Replaces the file at path with content, now or in its turn; done follows the write.
    void write(const std::string& path, std::string content, Done done = {});
    // Waits until every write queued so far is done.
    void drain();
    // Writes waiting or under way.
    int pending() const;

private:
    struct Job {
        std::string path;
        std::string content;
        Done done;
    };
    static void perform(const Job& job);
    void run();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> jobs_;
    bool writing_ = false;
    bool stopping_ = false;
    bool started_ = false;
    std::thread thread_;
};
