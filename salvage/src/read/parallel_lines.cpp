#include "read/parallel_lines.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <utility>

#include "salvage/line_breaks.h"

namespace salvage::detail {
namespace {

// Chunks held at a time per thread, and at most: memory stays bounded whatever the threads.
constexpr std::size_t kChunksPerThread = 2;
constexpr std::size_t kMostChunks = 16;
// The start of a line cut by a block's end is held for the next block when it is shorter than
// this part of a chunk.
constexpr std::size_t kHeldUpTo = 16;

// An empty piece may have no bytes behind it at all: memchr must not see its null pointer.
const char* firstBreak(const char* begin, const char* end) {
    if (begin == end) {
        return nullptr;
    }
    const auto* lineFeed =
        static_cast<const char*>(std::memchr(begin, '\n', static_cast<std::size_t>(end - begin)));
    const char* const before = lineFeed == nullptr ? end : lineFeed;
    const auto* carriageReturn = static_cast<const char*>(
        std::memchr(begin, '\r', static_cast<std::size_t>(before - begin)));
    return carriageReturn != nullptr ? carriageReturn : lineFeed;
}

const char* lastBreak(const char* begin, const char* end) {
    if (begin == end) {
        return nullptr;
    }
    const auto* lineFeed =
        static_cast<const char*>(memrchr(begin, '\n', static_cast<std::size_t>(end - begin)));
    const char* const after = lineFeed == nullptr ? begin : lineFeed + 1;
    const auto* carriageReturn =
        static_cast<const char*>(memrchr(after, '\r', static_cast<std::size_t>(end - after)));
    return carriageReturn != nullptr ? carriageReturn : lineFeed;
}

}  // namespace

struct ParallelLines::Job {
    enum class State { Queued, Running, Read };

    std::string_view input;
    std::string owned;      // the input, when it is not the block being fed
    bool borrowed = false;  // the input is in the block being fed
    std::uint64_t offset = 0;
    bool last = false;  // the input's end: its last line may have no line break
    std::unique_ptr<LineReading> reading;
    State state = State::Queued;
    std::exception_ptr error;
};

ParallelLines::ParallelLines(LineReading& reading, ChunkedLines& chunks, unsigned threads,
                             const ChunkTuning& tuning, std::uint64_t expectedSize)
    : reading_(reading),
      chunks_(chunks),
      threads_(std::max(threads, 1U)),
      tuning_(tuning),
      expectedSize_(expectedSize),
      inFlight_(std::clamp<std::size_t>(std::size_t{threads_} * kChunksPerThread, 2, kMostChunks)) {
    tuning_.chunkBytes = std::max<std::size_t>(tuning_.chunkBytes, 1);
    // The first line decides whether the document is read at all: it is read as it arrives.
    startStream(true);
}

ParallelLines::~ParallelLines() {
    stopThreads();
}

void ParallelLines::feed(std::string_view block, std::uint64_t after) {
    fed_ += block.size();
    if (reading_.refused()) {
        return;
    }
    if (skipLineFeed_ && !block.empty()) {
        skipLineFeed_ = false;
        if (block.front() == '\n') {
            block.remove_prefix(1);
            ++offset_;
        }
    }
    if (stream_ != nullptr) {
        feedStream(block, after);
        if (stream_ != nullptr || reading_.refused()) {
            return;
        }
    }
    try {
        cutChunks(block, after);
    } catch (...) {
        waitForBorrowed();
        throw;
    }
    waitForBorrowed();
    mergeReady(false);
}

// The block fed is the caller's only while feed() runs: the chunks that read it in place are
// all read before it returns. What they found is merged in its turn.
void ParallelLines::waitForBorrowed() {
    std::unique_lock lock(mutex_);
    while (borrowed_ > 0) {
        readOneOrWait(lock);
    }
}

// Rather than idle, this thread reads a chunk itself while there is one to read.
void ParallelLines::readOneOrWait(std::unique_lock<std::mutex>& lock) {
    if (Job* queued = firstQueued(); queued != nullptr) {
        queued->state = Job::State::Running;
        lock.unlock();
        run(*queued);
        lock.lock();
        markRead(*queued);
    } else {
        workDone_.wait(lock);
    }
}

void ParallelLines::markRead(Job& job) {
    job.state = Job::State::Read;
    if (job.borrowed) {
        --borrowed_;
    }
}

// Hands the stream its line up to the line's end, if `block` holds it; takes that from `block`.
void ParallelLines::feedStream(std::string_view& block, std::uint64_t after) {
    LineReading& reading = *stream_->reading;
    const char* const begin = block.data();
    const char* const end = begin + block.size();
    const char* const lineBreak = firstBreak(begin, end);
    if (lineBreak == nullptr) {
        reading.feed(block, block.size() + after, false, offset_);
        offset_ += block.size();
        block = {};
        if (reading.refused()) {
            endStream();
        }
        return;
    }
    const std::string_view piece(begin, static_cast<std::size_t>(lineBreak - begin));
    reading.feed(piece, piece.size(), true, offset_);
    if (!reading.refused()) {
        reading.endLine();
    }
    const char* const next = pastBreak(lineBreak, end);
    offset_ += static_cast<std::uint64_t>(next - begin);
    block.remove_prefix(static_cast<std::size_t>(next - begin));
    endStream();
}

const char* ParallelLines::pastBreak(const char* lineBreak, const char* end) {
    const char* next = lineBreak + 1;
    if (*lineBreak == '\r') {
        if (next == end) {
            skipLineFeed_ = true;
        } else if (*next == '\n') {
            ++next;
        }
    }
    return next;
}

void ParallelLines::startStream(bool startsDocument) {
    auto job = std::make_unique<Job>();
    job->reading = chunks_.readChunk(startsDocument, 0);
    job->offset = offset_;
    job->state = Job::State::Running;  // on this thread, as the input arrives
    stream_ = job.get();
    const std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
}

void ParallelLines::endStream() {
    try {
        stream_->reading->finish();
    } catch (...) {
        stream_->error = std::current_exception();
    }
    {
        const std::lock_guard lock(mutex_);
        stream_->state = Job::State::Read;
        stream_ = nullptr;
    }
    mergeReady(false);
}

void ParallelLines::cutChunks(std::string_view block, std::uint64_t after) {
    const char* p = block.data();
    const char* const end = p + block.size();
    if (!pending_.empty()) {
        const char* const lineBreak = firstBreak(p, end);
        if (lineBreak == nullptr) {
            pending_.append(p, end);
            if (pending_.size() >= tuning_.chunkBytes) {
                flushPending(after);
            }
            return;
        }
        const char* const next = pastBreak(lineBreak, end);
        pending_.append(p, next);
        enqueueOwned(std::exchange(pending_, std::string()), false);
        p = next;
    }
    while (static_cast<std::size_t>(end - p) >= tuning_.chunkBytes) {
        const char* lineBreak = lastBreak(p, p + tuning_.chunkBytes);
        if (lineBreak == nullptr) {
            lineBreak = firstBreak(p + tuning_.chunkBytes, end);
        }
        if (lineBreak == nullptr) {
            // A line longer than a chunk is read as it arrives rather than held.
            startStream(false);
            std::string_view rest(p, static_cast<std::size_t>(end - p));
            feedStream(rest, after);
            return;
        }
        const char* const next = pastBreak(lineBreak, end);
        enqueue(std::string_view(p, static_cast<std::size_t>(next - p)), false);
        p = next;
    }
    // The lines the block ends go as a shorter chunk; only a line it cuts is held.
    if (const char* const lineBreak = lastBreak(p, end); lineBreak != nullptr) {
        const char* const next = pastBreak(lineBreak, end);
        enqueue(std::string_view(p, static_cast<std::size_t>(next - p)), false);
        p = next;
    }
    if (p != end && static_cast<std::size_t>(end - p) >= tuning_.chunkBytes / kHeldUpTo) {
        // A long line the block cuts is read as it arrives rather than copied and held: with
        // sections of some MiB, that would be every other byte of the document.
        startStream(false);
        std::string_view rest(p, static_cast<std::size_t>(end - p));
        feedStream(rest, after);
        return;
    }
    pending_.assign(p, end);
}

// `pending_` grew to a chunk's size, its newest bytes without a line break.
void ParallelLines::flushPending(std::uint64_t after) {
    const char* const begin = pending_.data();
    const char* const end = begin + pending_.size();
    if (const char* const lineBreak = lastBreak(begin, end); lineBreak != nullptr) {
        // Its line break is followed by bytes of the line after it: no CR LF is cut.
        std::string rest(lineBreak + 1, end);
        pending_.resize(static_cast<std::size_t>(lineBreak + 1 - begin));
        enqueueOwned(std::exchange(pending_, std::move(rest)), false);
    }
    if (pending_.size() >= tuning_.chunkBytes) {
        startStream(false);
        const std::string held = std::exchange(pending_, std::string());
        std::string_view rest = held;
        feedStream(rest, after);
    }
}

void ParallelLines::enqueueOwned(std::string chunk, bool last) {
    auto job = std::make_unique<Job>();
    job->owned = std::move(chunk);
    job->input = job->owned;
    enqueue(std::move(job), last);
}

void ParallelLines::enqueue(std::string_view borrowed, bool last) {
    auto job = std::make_unique<Job>();
    job->input = borrowed;
    job->borrowed = true;
    enqueue(std::move(job), last);
}

void ParallelLines::enqueue(std::unique_ptr<Job> job, bool last) {
    job->offset = offset_;
    offset_ += job->input.size();
    job->last = last;
    job->reading = chunks_.readChunk(false, job->input.size());
    std::size_t queued = 0;
    {
        const std::lock_guard lock(mutex_);
        if (job->borrowed) {
            ++borrowed_;
        }
        jobs_.push_back(std::move(job));
        queued = jobs_.size();
    }
    if (workers_.empty() && !triedThreads_ &&
        std::max(expectedSize_, fed_) >= tuning_.parallelFrom) {
        startThreads();
    }
    workToDo_.notify_one();
    mergeReady(workers_.empty() || queued >= inFlight_);
}

void ParallelLines::startThreads() {
    triedThreads_ = true;
    workers_.reserve(threads_ - 1);
    for (unsigned i = 1; i < threads_; ++i) {
        try {
            workers_.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            break;  // fewer threads read the same; this one reads what they do not
        }
    }
}

void ParallelLines::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        Job* job = nullptr;
        workToDo_.wait(lock, [&] { return stopping_ || (job = firstQueued()) != nullptr; });
        if (stopping_) {
            return;
        }
        job->state = Job::State::Running;
        lock.unlock();
        run(*job);
        lock.lock();
        markRead(*job);
        workDone_.notify_one();
    }
}

ParallelLines::Job* ParallelLines::firstQueued() const {
    for (const auto& job : jobs_) {
        if (job->state == Job::State::Queued) {
            return job.get();
        }
    }
    return nullptr;
}

void ParallelLines::run(Job& job) {
    try {
        LineReading& reading = *job.reading;
        LineSplitter lines;
        const char* const base = job.input.data();
        lines.feed(job.input, [&](std::string_view part, bool endsLine) {
            reading.feed(part, part.size(), endsLine,
                         job.offset + static_cast<std::uint64_t>(part.data() - base));
            if (endsLine) {
                reading.endLine();
            }
            return true;
        });
        if (job.last && reading.lineStarted()) {
            reading.endLine();
        }
        reading.finish();
    } catch (...) {
        job.error = std::current_exception();
    }
}

void ParallelLines::mergeReady(bool wait) {
    while (!reading_.refused()) {
        std::unique_ptr<Job> job;
        {
            std::unique_lock lock(mutex_);
            if (jobs_.empty()) {
                return;
            }
            while (wait && jobs_.front()->state != Job::State::Read) {
                readOneOrWait(lock);
            }
            if (jobs_.front()->state != Job::State::Read) {
                return;
            }
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        wait = false;
        if (job->error) {
            std::rethrow_exception(job->error);
        }
        chunks_.merge(*job->reading);
    }
}

void ParallelLines::finish() {
    if (!reading_.refused()) {
        if (stream_ != nullptr) {
            // The input's end ends the line, and an empty input's only line.
            if (!stream_->reading->refused()) {
                stream_->reading->endLine();
            }
            endStream();
        } else if (!pending_.empty()) {
            enqueueOwned(std::exchange(pending_, std::string()), true);
        }
        for (;;) {
            {
                const std::lock_guard lock(mutex_);
                if (jobs_.empty()) {
                    break;
                }
            }
            if (reading_.refused()) {
                break;
            }
            mergeReady(true);
        }
    }
    stopThreads();
}

void ParallelLines::stopThreads() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    workToDo_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
    workers_.clear();
}

}  // namespace salvage::detail
