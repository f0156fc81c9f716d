#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "options.h"
#include "salvage/reader.h"
#include "salvage/text_file.h"
#include "session/document_session.h"

namespace qlv::cli {

// One FILE as one line of JSON (the format is in --help and the README). The record is made
// in chunks, the file's status and report first and then one chunk per section, so that a
// large document never becomes one JSON value in memory.
class JsonRecord {
  public:
    // `file` is the FILE as given on the command line; `document` is what it yielded, when it
    // was read.
    JsonRecord(std::string_view file, const session::OpenOutcome& outcome,
               const salvage::Document* document, const Options& options);

    // The chunks in order; together they are the record and its line break. They refer to
    // the record, which must outlive them.
    kestLibrary::TextPieces pieces() const;

  private:
    std::vector<std::string> chunks_;
};

}  // namespace qlv::cli
