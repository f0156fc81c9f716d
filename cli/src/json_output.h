#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "options.h"
#include "salvage/reader.h"
#include "salvage/text_file.h"
#include "session/document_session.h"

namespace qlv::cli {

// One FILE as one line of JSON (the format is in --help and the README). The file's status and
// report are made at once; each section is made as it is written, so that a large document
// never becomes JSON in memory.
class JsonRecord {
  public:
    // `file` is the FILE as given on the command line; `document` is what it yielded, when it
    // was read.
    JsonRecord(std::string_view file, const session::OpenOutcome& outcome,
               const salvage::Document* document, const Options& options);

    // The record and its line break. The pieces refer to the record and its document, which
    // must outlive them.
    kestLibrary::TextPieces pieces() const;

  private:
    std::string head_;  // the whole record of a file not read; else up to its sections
    const salvage::Document* document_ = nullptr;  // whose sections follow the head
    std::optional<std::string> section_;           // the one section asked for
    bool namesOnly_ = false;
};

}  // namespace qlv::cli
