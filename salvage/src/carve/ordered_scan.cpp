#include "carve/ordered_scan.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace salvage::detail {
namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(200);

// Hands places on with the unreadable ranges before them. A range before a place is complete
// when the place is found: the scan has read past the place, and the place itself was read.
class InOrder {
  public:
    explicit InOrder(const OrderedFindings& findings) : findings_(findings) {}

    void unreadable(const ByteRange& range) {
        if (!pending_.empty() && pending_.back().offset + pending_.back().length == range.offset) {
            pending_.back().length += range.length;
        } else {
            pending_.push_back(range);
        }
    }

    void place(DocumentPlace&& place) {
        std::size_t before = 0;
        for (; before < pending_.size() && pending_[before].offset < place.offset(); ++before) {
            if (findings_.unreadable) {
                findings_.unreadable(pending_[before]);
            }
        }
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(before));
        findings_.place(std::move(place));
    }

    std::vector<ByteRange> rest() { return std::move(pending_); }

  private:
    const OrderedFindings& findings_;
    std::vector<ByteRange> pending_;
};

std::vector<ByteRange> scanAlone(const ScanContext& context, std::vector<Share>& shares,
                                 const OrderedFindings& findings) {
    InOrder inOrder(findings);
    ShareScanner scanner(context);
    // A scan reports each range as it reads it, before the places after it: all goes on as
    // it comes.
    for (Share& share : shares) {
        const ShareFindings found{
            .place = [&](DocumentPlace&& place) { inOrder.place(std::move(place)); },
            .unreadable =
                [&](const ByteRange& range) {
                    share.unreadable.push_back(range);
                    inOrder.unreadable(range);
                },
            .afterWindow = findings.progress,
        };
        share.bytesRead = scanner.scan(share.from, share.to, found);
        share.done = true;
    }
    return inOrder.rest();
}

// The shares are handed out in order, so that the caller, reading the documents of the first
// share not yet finished, waits as little as it can.
class ParallelScan {
  public:
    ParallelScan(const ScanContext& context, std::vector<Share>& shares)
        : context_(context), shares_(shares), errors_(shares.size()) {
        context_.abandon = &abandon_;
    }

    std::vector<ByteRange> run(unsigned threads, const OrderedFindings& findings) {
        std::vector<std::thread> workers;
        workers.reserve(threads);
        for (unsigned i = 0; i < threads; ++i) {
            workers.emplace_back([this] { work(); });
        }
        std::exception_ptr failure;
        InOrder inOrder(findings);
        try {
            deliver(findings, inOrder);
        } catch (...) {
            failure = std::current_exception();
            abandon_ = true;
        }
        for (std::thread& worker : workers) {
            worker.join();
        }
        if (failure) {
            std::rethrow_exception(failure);
        }
        for (const std::exception_ptr& error : errors_) {
            if (error) {
                std::rethrow_exception(error);
            }
        }
        return inOrder.rest();
    }

  private:
    void work() {
        ShareScanner scanner(context_);
        for (;;) {
            const std::size_t index = next_.fetch_add(1);
            if (index >= shares_.size()) {
                return;
            }
            Share& share = shares_[index];
            try {
                const ShareFindings found{
                    .place =
                        [&](DocumentPlace&& place) {
                            const std::lock_guard lock(mutex_);
                            share.places.push_back(std::move(place));
                            changed_.notify_one();
                        },
                    .unreadable =
                        [&](const ByteRange& range) {
                            const std::lock_guard lock(mutex_);
                            share.unreadable.push_back(range);
                        },
                    .afterWindow = {},
                };
                const std::uint64_t bytesRead = scanner.scan(share.from, share.to, found);
                const std::lock_guard lock(mutex_);
                share.bytesRead = bytesRead;
            } catch (...) {
                errors_[index] = std::current_exception();
                abandon_ = true;
            }
            const std::lock_guard lock(mutex_);
            share.done = true;
            changed_.notify_one();
        }
    }

    // On the caller's thread: the places of each share in turn, as they are found.
    void deliver(const OrderedFindings& findings, InOrder& inOrder) {
        auto lastProgress = std::chrono::steady_clock::now();
        for (Share& share : shares_) {
            std::size_t handed = 0;
            std::size_t rangesHanded = 0;
            for (;;) {
                std::vector<DocumentPlace> ready;
                bool finished = false;
                {
                    std::unique_lock lock(mutex_);
                    changed_.wait_for(lock, kProgressInterval,
                                      [&] { return share.done || share.places.size() > handed; });
                    for (; handed < share.places.size(); ++handed) {
                        ready.push_back(std::move(share.places[handed]));
                    }
                    // Taken after the places: every range before them is in by now.
                    for (; rangesHanded < share.unreadable.size(); ++rangesHanded) {
                        inOrder.unreadable(share.unreadable[rangesHanded]);
                    }
                    finished = share.done;
                }
                for (DocumentPlace& place : ready) {
                    inOrder.place(std::move(place));
                }
                const auto now = std::chrono::steady_clock::now();
                if (findings.progress && now - lastProgress >= kProgressInterval) {
                    findings.progress();
                    lastProgress = now;
                }
                if (finished && ready.empty()) {
                    break;
                }
            }
        }
    }

    ScanContext context_;
    std::vector<Share>& shares_;
    std::vector<std::exception_ptr> errors_;
    std::atomic<bool> abandon_{false};
    std::atomic<std::size_t> next_{0};
    std::mutex mutex_;
    std::condition_variable changed_;
};

}  // namespace

std::vector<ByteRange> scanInOrder(const ScanContext& context, std::vector<Share>& shares,
                                   unsigned threads, const OrderedFindings& findings) {
    threads = std::min<unsigned>(threads, static_cast<unsigned>(shares.size()));
    if (threads <= 1) {
        return scanAlone(context, shares, findings);
    }
    return ParallelScan(context, shares).run(threads, findings);
}

}  // namespace salvage::detail
