#include "options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <sstream>
#include <string_view>
#include <system_error>

#include "exit_status.h"
#include "qlv/version.h"

namespace qlv::cli {
namespace {

constexpr const char* kDescription =
    "Salvages the text of damaged Quillora documents (.qlx, .qll): writes the sections it can "
    "still read as plain text.";

constexpr const char* kFooter = R"(What is written for each FILE:
  (no option)       every section, as "Save All Sections..." writes it: "Section: ", the name,
                    a line break, the text, two line breaks
  --list            the section names, one per line; in a name, a line break is written
                    \n, a tab \t, a backslash \\ and any other control character \xHH
                    (two hexadecimal digits), so that every line is one name (--json gives
                    the names exactly)
  --section NAME    that section's text alone, byte for byte

Where it goes: standard output, or with --output PATH that file (one FILE only), or with
--output-dir DIR the file DIR/NAME.txt for each FILE, NAME being the FILE's name without
".qlx" and ".qll" ("stdin.txt" for standard input). Files are replaced atomically: a failed
write leaves the destination as it was, and a replaced file keeps its mode. A symbolic link is
followed to its target, made if missing; /dev/stdout and /dev/fd/N are written through their
descriptor, so that the shell's >> appends. Two FILEs that would share one destination are
refused.
--output-dir makes DIR, and the folders above it, when they are missing.
--list cannot be combined with --section, nor --output with --output-dir.

--json writes one JSON object per FILE, one per line (JSON Lines), instead of the text:
  {"file": FILE as given, "status": "read" | "refused" | "unreadable",
   "reason": why it was not read (null when read),
   "report": {"lines_read", "section_lines", "sections", "skipped_lookalikes",
              "damaged_base64": [{"section", "in_name", "skipped_bytes",
                                  "incomplete_groups", "lines"}],
              "invalid_utf8": [{"section"}],
              "replacements": [{"section", "times", "replaced_bytes"}],
              "read_error": null or why reading stopped early,
              "thorough": null, or with --thorough what that reading found},
   "sections": [{"name", "text"}]}
  "report" and "sections" come only with "read". A "name", "text" or "section" that is not
  valid UTF-8 comes with "name_base64", "text_base64" or "section_base64" too, the Base64 of
  its exact bytes; the string then has U+FFFD for each invalid byte. With --list a section has no "text"; with --section
  only that section is listed. A refused or unreadable FILE still gets its object, except
  with --output-dir, which writes DIR/NAME.json for each document read.

--report adds, on standard error, a salvage report for each document read: lines read,
section lines found, lines that look like sections but were skipped, sections whose Base64 was
damaged or whose text is not valid UTF-8, and names that occurred more than once.

--damaged-lines adds, on standard error, one entry for each line the reading skipped or
decoded with damage: its number, where it stands in the file, the section its text went to,
what happened, and its bytes as read back from FILE, with a backslash shown as \\ and control
characters and bytes that are not UTF-8 as \xHH (at most 4 KiB of each line; the first
100,000 lines are listed, the rest counted). When FILE has changed since it was read, is gone,
was read from standard input, or was converted before reading (--thorough), the entry says so
instead of showing bytes. With --json the report gets instead "damaged_lines": [{"line", "offset",
"length", "section", "what", "bytes" (escaped as above; null when they cannot be shown),
"bytes_not_shown" or "why_no_bytes"}] and "damaged_lines_not_listed".

--thorough reads each FILE thoroughly: a section's text may run over several lines and its tag
may stand anywhere on a line; a damaged first line is read when section tags follow; Base64 is
decoded in fixed groups of four and realigned after lost or inserted characters, keeping only
what decodes to text; Base64 outside any section, and the text after a long damaged stretch,
are kept under names in square brackets that say where they were found; a repeated name keeps
every text, the later ones numbered: NAME (2), NAME (3). With --report it also tells what it
found beyond the line-by-line reading.

--threads N reads a large document with N threads, the caller's among them (the plain reading
of a document of 8 MiB or more; the thorough reading uses one); the result is the same with
any N. Without it, one thread per processor core.

--carve SOURCE -d DIR looks through SOURCE (a disk image, a block device, any large file) for
documents that no file holds any more, instead of reading FILEs. Each document found is read
thoroughly and written to DIR as "0xOFFSET NAME.txt", OFFSET being where it starts in SOURCE
(ten hexadecimal digits) and NAME its first section's name; a text already written is not
written again. A document stored in two pieces is joined where the second carries the
first's text on. DIR/index.jsonl gets one JSON object per line:
  {"kind": "document", "offset", "length", "fragments": [{"offset", "length"}],
   "sections", "first_section", "seams": [{"offset", "guessed"}], "damage": [names],
   "file", "duplicate_of": null or the file of the same text written before (then "file"
   is that file too)}
  {"kind": "unreadable", "offset", "length"}: clusters that could not be read, even twice
  {"kind": "summary", "source", "range": [START, END], "bytes_read", "documents",
   "duplicates", "unreadable_bytes"}, last
With --json these lines go to standard output instead of DIR/index.jsonl. --range START:END
carves only the documents that start in that part of SOURCE (byte offsets, decimal or 0x
hexadecimal; either may be left out), following each past END as far as it goes. --threads
N looks through SOURCE with N threads. SOURCE is only ever read; DIR may not be on SOURCE
itself, nor on a file system stored in it.

Exit status: 0 when every FILE was read and written, 1 when any FILE was refused, unreadable
or could not be written (the remaining FILEs are still processed), 2 for a usage error. With
--carve: 0 when SOURCE was looked through (also when nothing was found), 1 when it could not
be read or DIR could not be used.)";

// The two ways of running the program, where CLI11 would give one with FILE optional.
class Formatter : public CLI::Formatter {
  public:
    std::string make_usage(const CLI::App*, std::string) const override {
        return "Usage: " + std::string(kProgramName) + " [OPTIONS] FILE...\n       " +
               std::string(kProgramName) + " [OPTIONS] --carve SOURCE -d DIR\n";
    }
};

// CLI11 signals help, version and usage errors by throwing; its own exit codes (0, or 100
// and above) become ours (0 or 2).
int exitStatusFor(const CLI::Error& error) {
    return error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success) ? kExitSuccess
                                                                              : kExitUsage;
}

// The value of --threads: a whole number from 1 on, in decimal digits and nothing else.
unsigned threadCount(std::string_view text) {
    unsigned count = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, count);
    if (text.empty() || error != std::errc() || stop != end || count == 0) {
        throw CLI::ValidationError("--threads", "takes a number of threads, 1 or more");
    }
    return count;
}

// One end of --range: decimal, or hexadecimal after "0x".
std::optional<std::uint64_t> rangeEnd(std::string_view text) {
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint64_t value = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

CarveRange carveRange(std::string_view text) {
    const std::size_t colon = text.find(':');
    const auto refuse = [] {
        return CLI::ValidationError("--range",
                                    "takes START:END, byte offsets with START before END");
    };
    if (colon == std::string_view::npos) {
        throw refuse();
    }
    CarveRange range;
    const std::string_view start = text.substr(0, colon);
    const std::string_view end = text.substr(colon + 1);
    if (!start.empty()) {
        const auto value = rangeEnd(start);
        if (!value) {
            throw refuse();
        }
        range.start = *value;
    }
    if (!end.empty()) {
        range.end = rangeEnd(end);
        if (!range.end || *range.end <= range.start) {
            throw refuse();
        }
    }
    return range;
}

// --carve reads no FILE and writes only to its folder.
void checkCarving(const Options& options, const std::vector<const CLI::Option*>& notWithCarve) {
    if (!options.carve) {
        if (options.range) {
            throw CLI::ValidationError("--range", "goes only with --carve");
        }
        if (options.files.empty()) {
            throw CLI::RequiredError("FILE");
        }
        return;
    }
    if (!options.files.empty()) {
        throw CLI::ValidationError("--carve", "takes no FILE");
    }
    for (const CLI::Option* option : notWithCarve) {
        if (option->count() != 0) {
            throw CLI::ExcludesError("--carve", option->get_name());
        }
    }
    if (!options.outputDir) {
        throw CLI::ValidationError("--carve", "needs --output-dir DIR for what it finds");
    }
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CLI::App app{kDescription, std::string(kProgramName)};
    app.formatter(std::make_shared<Formatter>());
    app.footer(kFooter);
    app.failure_message([](const CLI::App*, const CLI::Error& error) {
        return std::string(kProgramName) + ": " + error.what() +
               "\nRun with --help for more information.\n";
    });
    app.set_version_flag("-V,--version", std::string(kProgramName) + " " + QLV_VERSION,
                         "Show the program's version and exit");

    Options options;
    std::string section;
    std::string output;
    std::string outputDir;
    std::string threads;
    // The help, and the manual page made from it, speak in plain words: no "Positionals",
    // "REQUIRED" or "Excludes:" notes of CLI11's own. Options that exclude each other are
    // checked below instead of declared to CLI11.
    app.get_formatter()->label("Positionals", "Arguments");
    app.get_formatter()->label("REQUIRED", "");
    app.add_option("FILE", options.files, "Documents to read; - reads standard input")
        ->type_name("");
    CLI::Option* listOption =
        app.add_flag("-l,--list", options.list, "Write the section names, one per line");
    CLI::Option* sectionOption =
        app.add_option("-s,--section", section, "Write only the text of the section NAME")
            ->type_name("NAME");
    CLI::Option* outputOption =
        app.add_option("-o,--output", output, "Write to PATH instead of standard output")
            ->type_name("PATH");
    CLI::Option* outputDirOption =
        app.add_option("-d,--output-dir", outputDir,
                       "Write each FILE to DIR/NAME.txt (DIR is made if missing)")
            ->type_name("DIR");
    app.add_flag("-r,--report", options.report,
                 "Also tell on standard error what was found and what was damaged");
    app.add_flag("-j,--json", options.json,
                 "Write each document as one line of JSON (format below)");
    app.add_flag("--damaged-lines", options.damagedLines,
                 "Also list on standard error each line skipped or decoded with damage, "
                 "with its bytes");
    app.add_flag("-t,--thorough", options.thorough,
                 "Read thoroughly: also get back texts that line-by-line reading loses");
    CLI::Option* threadsOption =
        app.add_option("--threads", threads,
                       "Read a large document with N threads (1: one; default: one per core)")
            ->type_name("N");
    std::string carve;
    std::string range;
    CLI::Option* carveOption =
        app.add_option("--carve", carve,
                       "Look through SOURCE (a disk image or device) for documents; needs -d")
            ->type_name("SOURCE");
    CLI::Option* rangeOption =
        app.add_option("--range", range,
                       "With --carve: only documents that start from START up to END")
            ->type_name("START:END");
    const auto refuseTogether = [](const CLI::Option* first, const CLI::Option* second) {
        if (first->count() != 0 && second->count() != 0) {
            throw CLI::ExcludesError(first->get_name(), second->get_name());
        }
    };

    CommandLine result;
    std::ostringstream out;
    std::ostringstream err;
    const auto refuse = [&](const CLI::Error& error) {
        app.exit(error, out, err);
        result.exitStatus = exitStatusFor(error);
    };
    try {
        app.parse(argc, argv);
        refuseTogether(listOption, sectionOption);
        refuseTogether(outputOption, outputDirOption);
        if (outputOption->count() != 0 && options.files.size() > 1) {
            throw CLI::ValidationError("--output",
                                       "takes a single FILE; use --output-dir for several");
        }
        if (threadsOption->count() != 0) {
            options.threads = threadCount(threads);
        }
        if (sectionOption->count() != 0) {
            options.section = section;
        }
        if (outputOption->count() != 0) {
            options.output = output;
        }
        if (outputDirOption->count() != 0) {
            options.outputDir = outputDir;
        }
        if (carveOption->count() != 0) {
            options.carve = carve;
        }
        if (rangeOption->count() != 0) {
            options.range = carveRange(range);
        }
        checkCarving(options, {listOption, sectionOption, outputOption});
        result.options = std::move(options);
    } catch (const CLI::RequiredError& error) {
        // An unknown option is not taken as a FILE, so "qlvodadov-cli -x" would otherwise be
        // told only that FILE is missing: name the unknown option instead.
        const std::vector<std::string> unknown = app.remaining();
        if (unknown.empty()) {
            refuse(error);
        } else {
            refuse(CLI::ExtrasError(unknown));
        }
    } catch (const CLI::Error& error) {
        refuse(error);
    }
    result.standardOutput = out.str();
    result.standardError = err.str();
    return result;
}

}  // namespace qlv::cli
