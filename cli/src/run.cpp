#include "run.h"

#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "descriptor_writer.h"
#include "destinations.h"
#include "document_output.h"
#include "exit_status.h"
#include "salvage/file_identity.h"
#include "salvage/reader.h"
#include "salvage/report_text.h"
#include "salvage/text_file.h"

namespace qlv::cli {
namespace {

bool isStandardInput(const std::string& file) {
    return file == kStandardInputArgument;
}

std::string displayName(const std::string& file) {
    return isStandardInput(file) ? "standard input" : file;
}

class Runner {
  public:
    Runner(const Options& options, const Streams& streams)
        : options_(options), streams_(streams), standardOutput_(streams.output) {}

    int run() {
        const DestinationPlan plan = planDestinations(options_);
        if (plan.conflict) {
            report(*plan.conflict);
            return kExitUsage;
        }
        rememberInputs();
        for (std::size_t i = 0; i < options_.files.size() && !standardOutputBroken_; ++i) {
            process(options_.files[i], plan.destinations[i]);
        }
        return failed_ ? kExitFailure : kExitSuccess;
    }

  private:
    // The documents being read, so that no output replaces one of them.
    void rememberInputs() {
        for (const std::string& file : options_.files) {
            const auto identity = isStandardInput(file)
                                      ? kestLibrary::identityOfRegularDescriptor(streams_.input)
                                      : kestLibrary::identityOfPath(file);
            if (identity) {
                inputs_.insert(*identity);
            }
        }
    }

    salvage::ParseResult read(const std::string& file) const {
        const auto reading =
            options_.thorough ? salvage::Reading::Thorough : salvage::Reading::Plain;
        if (isStandardInput(file)) {
            return salvage::parseDescriptor(streams_.input, file, reading);
        }
        return salvage::parseFile(file, reading);
    }

    void process(const std::string& file, const std::optional<std::filesystem::path>& to) {
        const std::string subject = displayName(file);
        const salvage::ParseResult result = read(file);
        switch (result.status) {
            case salvage::ReadStatus::Refused:
                fail(subject, salvage::kRefusedMessage);
                return;
            case salvage::ReadStatus::Unreadable:
                fail(subject, result.reason);
                return;
            case salvage::ReadStatus::Accepted:
                break;
        }
        if (options_.report) {
            describe(subject, result.document);
        }
        const DocumentOutput output = selectOutput(result.document, options_);
        if (output.error) {
            fail(subject, *output.error);
        } else if (to) {
            writeFile(*to, output.pieces);
        } else {
            writeStandardOutput(output.pieces);
        }
        // What was read before the error is written above: the text is kept, but the run
        // does not count as a success.
        if (!result.document.report.readError.empty()) {
            fail(subject, result.document.report.readError);
        }
    }

    // The summary as one line, then each fact of the report indented beneath it.
    void describe(std::string_view subject, const salvage::Document& document) {
        const std::size_t sections = document.contents.size();
        report(std::string(subject) + ": " + salvage::summarizeReport(document.report, sections));
        const std::string details = salvage::describeReport(document.report, sections);
        // Indented as a whole and written at once: standard error is unbuffered, and a report
        // of many damaged sections would otherwise cost a system call per piece of each line.
        std::string indented;
        indented.reserve(details.size() + details.size() / 16);
        for (std::size_t start = 0; start < details.size();) {
            const std::size_t end = details.find('\n', start);
            indented.append("  ").append(details, start, end - start).push_back('\n');
            start = end + 1;
        }
        streams_.errors << indented << std::flush;
    }

    void writeStandardOutput(std::span<const std::string_view> pieces) {
        for (const std::string_view piece : pieces) {
            if (!standardOutput_.write(piece)) {
                break;
            }
        }
        if (!standardOutput_.flush()) {
            fail("standard output", standardOutput_.error().value_or("write failed"));
            standardOutputBroken_ = true;
        }
    }

    void writeFile(const std::filesystem::path& path, std::span<const std::string_view> pieces) {
        const auto identity = kestLibrary::identityOfPath(path);
        if (identity && inputs_.contains(*identity)) {
            fail(path.string(), "not written: it is one of the documents being read");
            return;
        }
        if (const auto error = kestLibrary::writeText(path, pieces)) {
            fail(error->path, error->reason);
        }
    }

    void fail(std::string_view subject, std::string_view message) {
        failed_ = true;
        report(std::string(subject) + ": " + std::string(message));
    }

    void report(const std::string& message) {
        streams_.errors << kProgramName << ": " << message << '\n' << std::flush;
    }

    const Options& options_;
    const Streams& streams_;
    DescriptorWriter standardOutput_;
    std::set<kestLibrary::FileIdentity> inputs_;
    bool failed_ = false;
    bool standardOutputBroken_ = false;
};

}  // namespace

int run(const Options& options, const Streams& streams) {
    return Runner(options, streams).run();
}

}  // namespace qlv::cli
