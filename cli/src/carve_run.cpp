#include "carve_run.h"

#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <unordered_map>
#include <vector>

#include "carve_progress.h"
#include "carve_records.h"
#include "destinations.h"
#include "exit_status.h"
#include "own_device.h"
#include "salvage/descriptor_writer.h"
#include "salvage/export.h"
#include "salvage/text_file.h"
#include "session/document_session.h"

namespace qlv::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kIndexName = "index.jsonl";

std::string readWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class CarveRunner {
  public:
    CarveRunner(const Options& options, const Streams& streams)
        : options_(options),
          streams_(streams),
          source_(*options.carve),
          folder_(*options.outputDir),
          standardOutput_(streams.output),
          progress_(streams.errors) {}

    int run() {
        if (const auto error = makeOutputFolder(folder_)) {
            report(folder_.string() + ": " + *error);
            return kExitFailure;
        }
        if (const auto reason = folderOnSource(source_, folder_)) {
            report(folder_.string() + ": " + *reason);
            return kExitFailure;
        }
        struct stat info {};
        if (::stat(source_.c_str(), &info) == 0) {
            sourceIdentity_ = std::make_pair(info.st_dev, info.st_ino);
        }
        const salvage::CarveSummary summary = salvage::carve(source_, carveOptions(), callbacks());
        progress_.finish();
        if (summary.error) {
            report(source_.string() + ": " + *summary.error);
            return kExitFailure;
        }
        // The documents' files were left to reach the disk together; the index, which lists
        // them, is written only once they are there.
        if (!written_.empty()) {
            if (const auto error = kestLibrary::flushFileSystem(folder_)) {
                fail(error->message());
            }
        }
        emit(summaryRecord(source_.string(), summary, duplicates_));
        if (!options_.json) {
            save(folder_ / kIndexName, index_, kestLibrary::Flush::Now);
        }
        if (summary.documents == 0) {
            report("No documents found in " + source_.string() + ".");
        }
        return failed_ ? kExitFailure : kExitSuccess;
    }

  private:
    salvage::CarveOptions carveOptions() const {
        salvage::CarveOptions carve;
        if (options_.range) {
            carve.start = options_.range->start;
            carve.end = options_.range->end;
        }
        carve.threads = options_.threads.value_or(session::availableCores());
        return carve;
    }

    salvage::CarveCallbacks callbacks() {
        salvage::CarveCallbacks callbacks;
        callbacks.document = [this](salvage::CarvedDocument&& document) { take(document); };
        callbacks.unreadable = [this](const salvage::ByteRange& range) {
            emit(unreadableRecord(range));
        };
        if (streams_.showProgress) {
            callbacks.progress = [this](std::uint64_t done, std::uint64_t total,
                                        std::size_t found) {
                progress_.update(done, total, found);
            };
        }
        return callbacks;
    }

    void take(const salvage::CarvedDocument& document) {
        const std::string text = salvage::exportText(document.reading.document.contents);
        std::optional<std::string> earlier = writtenBefore(text);
        std::optional<std::string> file;
        if (earlier) {
            ++duplicates_;
            file = earlier;
        } else {
            const std::string name = carvedFileName(document);
            if (save(folder_ / name, text, kestLibrary::Flush::Later)) {
                file = name;
                written_[std::hash<std::string>{}(text)].push_back(name);
            }
        }
        emit(documentRecord(document, file, earlier));
    }

    // The file already written with exactly `text`, if any.
    std::optional<std::string> writtenBefore(const std::string& text) const {
        const auto found = written_.find(std::hash<std::string>{}(text));
        if (found == written_.end()) {
            return std::nullopt;
        }
        for (const std::string& name : found->second) {
            if (readWhole(folder_ / name) == text) {
                return name;
            }
        }
        return std::nullopt;
    }

    bool save(const fs::path& path, std::string_view text, kestLibrary::Flush flush) {
        struct stat info {};
        if (sourceIdentity_ && ::stat(path.c_str(), &info) == 0 &&
            std::make_pair(info.st_dev, info.st_ino) == *sourceIdentity_) {
            fail(path.string() + ": not written: it is the source being carved");
            return false;
        }
        if (const auto error = kestLibrary::writeText(path, text, flush)) {
            fail("not written to " + path.string() + ": " + error->reason);
            return false;
        }
        return true;
    }

    void emit(const std::string& record) {
        if (!options_.json) {
            index_ += record;
            return;
        }
        if (!standardOutputBroken_ &&
            (!standardOutput_.write(record) || !standardOutput_.flush())) {
            fail("standard output: " + standardOutput_.error().value_or("write failed"));
            standardOutputBroken_ = true;
        }
    }

    void fail(const std::string& message) {
        failed_ = true;
        report(message);
    }

    void report(const std::string& message) {
        progress_.finish();
        streams_.errors << kProgramName << ": " << message << '\n' << std::flush;
    }

    const Options& options_;
    const Streams& streams_;
    const fs::path source_;
    const fs::path folder_;
    kestLibrary::DescriptorWriter standardOutput_;
    CarveProgress progress_;
    std::optional<std::pair<dev_t, ino_t>> sourceIdentity_;
    // Names of the files written, by a hash of their text.
    std::unordered_map<std::size_t, std::vector<std::string>> written_;
    std::string index_;
    std::size_t duplicates_ = 0;
    bool failed_ = false;
    bool standardOutputBroken_ = false;
};

}  // namespace

int runCarve(const Options& options, const Streams& streams) {
    return CarveRunner(options, streams).run();
}

}  // namespace qlv::cli
