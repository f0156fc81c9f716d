#include "run.h"

#include <string>
#include <string_view>
#include <utility>

#include "carve_run.h"
#include "damaged_lines_output.h"
#include "destinations.h"
#include "document_output.h"
#include "exit_status.h"
#include "json_output.h"
#include "salvage/descriptor_writer.h"
#include "salvage/reader.h"
#include "salvage/report_text.h"
#include "session/document_session.h"

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
        session_.setReading(options_.thorough ? salvage::Reading::Thorough
                                              : salvage::Reading::Plain);
        session_.setThreads(options_.threads.value_or(session::availableCores()));
        rememberInputs();
        for (std::size_t i = 0; i < options_.files.size() && !standardOutputBroken_; ++i) {
            process(options_.files[i], plan.destinations[i]);
        }
        return failed_ ? kExitFailure : kExitSuccess;
    }

  private:
    // Every document named, before any is read, so that no output replaces one of them.
    void rememberInputs() {
        for (const std::string& file : options_.files) {
            if (isStandardInput(file)) {
                session_.guard().protectDescriptor(streams_.input);
            } else {
                session_.guard().protectPath(file);
            }
        }
    }

    session::OpenOutcome read(const std::string& file) {
        if (isStandardInput(file)) {
            return session_.openDescriptor(streams_.input, file);
        }
        return session_.open(file);
    }

    void process(const std::string& file, const std::optional<std::filesystem::path>& to) {
        const std::string subject = displayName(file);
        const session::OpenOutcome outcome = read(file);
        // Every FILE gets its JSON record, but a folder gets files only for documents read.
        if (options_.json && (outcome.accepted() || !options_.outputDir)) {
            const salvage::Document* read = outcome.accepted() ? &*session_.document() : nullptr;
            const JsonRecord record(file, outcome, read, options_);
            write(subject, to, record.pieces());
        }
        switch (outcome.status) {
            case salvage::ReadStatus::Refused:
                fail(subject, salvage::kRefusedMessage);
                return;
            case salvage::ReadStatus::Unreadable:
            case salvage::ReadStatus::Stopped:
                fail(subject, outcome.reason);
                return;
            case salvage::ReadStatus::Accepted:
                break;
        }
        const salvage::Document& document = *session_.document();
        if (options_.report) {
            describe(subject, document);
        }
        if (options_.damagedLines && !options_.json) {
            listDamagedLines(subject, file, document);
        }
        const DocumentOutput output = selectOutput(document, options_);
        if (output.error) {
            fail(subject, *output.error);
        } else if (!options_.json) {
            write(subject, to, output.pieces);
        }
        // What was read before the error is written above: the text is kept, but the run
        // does not count as a success.
        if (!document.report.readError.empty()) {
            fail(subject, document.report.readError);
        }
        session_.close();  // one document in memory at a time
    }

    // The summary as one line, then each fact of the report indented beneath it.
    void describe(std::string_view subject, const salvage::Document& document) {
        const std::size_t sections = document.contents.size();
        report(std::string(subject) + ": " + salvage::summarizeReport(document.report, sections));
        const std::string details = salvage::describeReport(document.report, document.contents);
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

    void listDamagedLines(std::string_view subject, const std::string& file,
                          const salvage::Document& document) {
        const std::filesystem::path path(file);
        const std::size_t count =
            document.report.damagedLines.size() + document.report.damagedLinesNotListed;
        report(std::string(subject) + ": " + std::to_string(count) +
               (count == 1 ? " damaged line" : " damaged lines"));
        streams_.errors << damagedLinesText(document, isStandardInput(file) ? nullptr : &path)
                        << std::flush;
    }

    void write(std::string_view subject, const std::optional<std::filesystem::path>& to,
               const kestLibrary::TextPieces& pieces) {
        if (to) {
            writeFile(subject, *to, pieces);
        } else {
            writeStandardOutput(pieces);
        }
    }

    void writeStandardOutput(const kestLibrary::TextPieces& pieces) {
        pieces([&](std::string_view piece) { standardOutput_.write(piece); });
        if (!standardOutput_.flush()) {
            fail("standard output", standardOutput_.error().value_or("write failed"));
            standardOutputBroken_ = true;
        }
    }

    // Failures name the FILE whose output it is; the reason names the destination.
    void writeFile(std::string_view subject, const std::filesystem::path& path,
                   const kestLibrary::TextPieces& pieces) {
        if (options_.outputDir) {
            if (const auto error = makeOutputFolder(*options_.outputDir)) {
                fail(subject, *error);
                return;
            }
        }
        if (const auto error = session_.save(path, pieces)) {
            fail(subject, "not written to " + path.string() + ": " + error->reason);
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
    kestLibrary::DescriptorWriter standardOutput_;
    session::DocumentSession session_;
    bool failed_ = false;
    bool standardOutputBroken_ = false;
};

}  // namespace

int run(const Options& options, const Streams& streams) {
    if (options.carve) {
        return runCarve(options, streams);
    }
    return Runner(options, streams).run();
}

}  // namespace qlv::cli
