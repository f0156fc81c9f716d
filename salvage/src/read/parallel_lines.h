#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "read/line_reading.h"

namespace salvage::detail {

// How a document is cut into chunks read side by side.
struct ChunkTuning {
#ifdef QLV_TINY_CHUNKS
    // A build that compares the chunked reading with one thread on every document it reads
    // (cmake -DQLV_TINY_CHUNKS=ON): a few lines to a chunk, threads from the start.
    std::size_t chunkBytes = 256;
    std::uint64_t parallelFrom = 0;
#else
    // A chunk ends at the last line break before this many bytes, or the first after them; a
    // line longer than that is read as it arrives instead of being held.
    std::size_t chunkBytes = std::size_t{1} << 19;
    // Threads start once the input is known to be at least this long; a shorter one is read
    // chunk by chunk on the calling thread.
    std::uint64_t parallelFrom = std::uint64_t{8} << 20;
#endif
};

// Reads the lines of a document with a reading whose lines can be read apart: the input is cut
// at line breaks into chunks, which up to `threads` threads (the caller's among them) read into
// their own storage, and what each found is merged into the document in order on the caller's
// thread. Only a few chunks are held at a time. Threads are started by feed() and joined by
// finish() and the destructor.
class ParallelLines {
  public:
    ParallelLines(LineReading& reading, ChunkedLines& chunks, unsigned threads,
                  const ChunkTuning& tuning, std::uint64_t expectedSize);
    ~ParallelLines();
    ParallelLines(const ParallelLines&) = delete;
    ParallelLines& operator=(const ParallelLines&) = delete;

    // `after` bounds the input after `block`.
    void feed(std::string_view block, std::uint64_t after);
    // Reads the rest and merges every chunk; the threads are gone when it returns.
    void finish();

  private:
    struct Job;

    void feedStream(std::string_view& block, std::uint64_t after);
    // The byte after a line break; a CR that ends the input so far may begin a CR LF.
    const char* pastBreak(const char* lineBreak, const char* end);
    void startStream(bool startsDocument);
    void endStream();
    void cutChunks(std::string_view block, std::uint64_t after);
    void flushPending(std::uint64_t after);
    // A chunk of the block being fed, read in place.
    void enqueue(std::string_view borrowed, bool last);
    // A chunk of bytes kept from earlier blocks.
    void enqueueOwned(std::string chunk, bool last);
    void enqueue(std::unique_ptr<Job> job, bool last);
    void waitForBorrowed();
    // With the lock held: reads the first chunk queued on this thread, or else waits until
    // another thread has read one.
    void readOneOrWait(std::unique_lock<std::mutex>& lock);
    // With the lock held.
    void markRead(Job& job);
    void startThreads();
    void work();
    Job* firstQueued() const;
    void run(Job& job);
    // Merges the chunks read at the front of the queue; with `wait`, at least the first one,
    // reading it (or others ahead of it) on this thread rather than idling.
    void mergeReady(bool wait);
    void stopThreads();

    LineReading& reading_;
    ChunkedLines& chunks_;
    unsigned threads_;
    ChunkTuning tuning_;
    std::uint64_t expectedSize_;
    std::size_t inFlight_;

    std::uint64_t fed_ = 0;
    std::uint64_t offset_ = 0;   // where the next byte handed out stands in the input
    bool skipLineFeed_ = false;  // the last byte handed out was a CR that may begin a CR LF
    std::string pending_;        // the start of a line that runs on into the next block
    Job* stream_ = nullptr;      // the chunk read as it arrives, if any

    std::mutex mutex_;
    std::condition_variable workToDo_;
    std::condition_variable workDone_;
    std::deque<std::unique_ptr<Job>> jobs_;  // in the input's order, not merged yet
    std::size_t borrowed_ = 0;               // jobs reading the block being fed, not read yet
    bool stopping_ = false;
    bool triedThreads_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace salvage::detail
