#pragma once

#include <string>

#include "filetypes/registry.h"

namespace filetypes {

// One file-type definition. It reaches the registry when it is first converted to text, and
// leaves it when it is changed or destroyed.
class FileType {
  public:
    explicit FileType(Registry& registry = Registry::global()) : registry_(registry) {}
    ~FileType();
    FileType(const FileType&) = delete;
    FileType& operator=(const FileType&) = delete;

    const std::string& Name() const { return mName; }
    const std::string& Extensions() const { return mExtension; }
    const std::string& MacType() const { return mMacType; }
    const std::string& MacCreator() const { return mMacCreator; }

    void setName(std::string value);
    void setExtensions(std::string value);
    void setMacType(std::string value);
    void setMacCreator(std::string value);

    bool registered() const { return mRegistered; }

    // Registers the type if it is not registered yet, and gives its name.
    explicit operator std::string();

  private:
    void deregister();

    Registry& registry_;
    std::string mName;
    std::string mMacCreator;
    std::string mMacType;
    std::string mExtension;
    bool mRegistered = false;
};

}  // namespace filetypes
