#include "filetypes/file_types.h"

#include <memory>

namespace FileTypes {
namespace {

using filetypes::FileType;

std::unique_ptr<FileType> pSimpletext;
std::unique_ptr<FileType> pBinary;
std::unique_ptr<FileType> pqlx;
std::unique_ptr<FileType> pqll;

void define(std::unique_ptr<FileType>& slot, const Definition& definition,
            filetypes::Registry& registry) {
    slot.reset();  // the old type leaves the registry before the new one enters it
    slot = std::make_unique<FileType>(registry);
    slot->setName(std::string(definition.name));
    slot->setExtensions(std::string(definition.extension));
    slot->setMacType(std::string(definition.macType));
    slot->setMacCreator(std::string(definition.macCreator));
    static_cast<void>(static_cast<std::string>(*slot));
}

}  // namespace

void Initialize(filetypes::Registry& registry) {
    define(pSimpletext, kSimpletext, registry);
    define(pBinary, kBinary, registry);
    define(pqlx, kQuillora15, registry);
    define(pqll, kQuilloraLight, registry);
}

void Release() {
    pSimpletext.reset();
    pBinary.reset();
    pqlx.reset();
    pqll.reset();
}

FileType* Simpletext() {
    return pSimpletext.get();
}

}  // namespace FileTypes
