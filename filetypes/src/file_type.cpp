#include "filetypes/file_type.h"

namespace filetypes {

FileType::~FileType() {
    deregister();
}

void FileType::deregister() {
    if (mRegistered) {
        registry_.deregisterType(mName);
        mRegistered = false;
    }
}

// A registered type leaves the registry before it changes, so that the registry never holds
// values the type no longer has; the next conversion registers the new ones.
void FileType::setName(std::string value) {
    deregister();
    mName = std::move(value);
}

void FileType::setExtensions(std::string value) {
    deregister();
    mExtension = std::move(value);
}

void FileType::setMacType(std::string value) {
    deregister();
    mMacType = std::move(value);
}

void FileType::setMacCreator(std::string value) {
    deregister();
    mMacCreator = std::move(value);
}

FileType::operator std::string() {
    if (!mRegistered) {
        registry_.registerType(mName, mMacCreator, mMacType, mExtension);
        mRegistered = true;
    }
    return mName;
}

}  // namespace filetypes
