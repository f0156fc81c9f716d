#include "own_device.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

namespace qlv::cli {
namespace {

namespace fs = std::filesystem;

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string text;
    std::getline(in, text);
    return text;
}

// A "MAJOR:MINOR" file of sysfs.
std::optional<dev_t> deviceNumber(const fs::path& file) {
    const std::string text = firstLine(file);
    unsigned major = 0;
    unsigned minor = 0;
    char colon = 0;
    std::istringstream in(text);
    if (!(in >> major >> colon >> minor) || colon != ':') {
        return std::nullopt;
    }
    return makedev(major, minor);
}

// The device a folder's file system is on, and the disk that device is a partition of.
std::vector<dev_t> devicesUnder(dev_t device, const fs::path& sysfs) {
    std::vector<dev_t> devices{device};
    std::error_code error;
    const fs::path entry =
        fs::canonical(sysfs / "dev" / "block" /
                          (std::to_string(major(device)) + ":" + std::to_string(minor(device))),
                      error);
    if (!error && fs::exists(entry / "partition", error)) {
        if (const auto disk = deviceNumber(entry.parent_path() / "dev")) {
            devices.push_back(*disk);
        }
    }
    return devices;
}

bool contains(const std::vector<dev_t>& devices, dev_t device) {
    return std::find(devices.begin(), devices.end(), device) != devices.end();
}

// The loop devices whose backing file is `file`, by name and number.
std::vector<std::pair<std::string, dev_t>> loopsOf(const struct stat& file, const fs::path& sysfs) {
    std::vector<std::pair<std::string, dev_t>> loops;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(sysfs / "block", error)) {
        const std::string backing = firstLine(entry.path() / "loop" / "backing_file");
        struct stat info {};
        if (backing.empty() || ::stat(backing.c_str(), &info) != 0 || info.st_dev != file.st_dev ||
            info.st_ino != file.st_ino) {
            continue;
        }
        if (const auto device = deviceNumber(entry.path() / "dev")) {
            loops.emplace_back(entry.path().filename().string(), *device);
        }
    }
    return loops;
}

}  // namespace

std::optional<std::string> folderOnSource(const fs::path& source, const fs::path& folder,
                                          const fs::path& sysfs) {
    struct stat from {};
    struct stat to {};
    if (::stat(source.c_str(), &from) != 0 || ::stat(folder.c_str(), &to) != 0) {
        return std::nullopt;  // the carving itself tells why the source cannot be read
    }
    const std::vector<dev_t> folderDevices = devicesUnder(to.st_dev, sysfs);
    if (S_ISBLK(from.st_mode) && contains(folderDevices, from.st_rdev)) {
        return "is on " + source.string() + " itself; choose a folder on another device";
    }
    if (S_ISREG(from.st_mode)) {
        for (const auto& [name, device] : loopsOf(from, sysfs)) {
            if (contains(folderDevices, device)) {
                return "is on a file system mounted from " + source.string() + " (" + name +
                       "); choose a folder on another device";
            }
        }
    }
    return std::nullopt;
}

}  // namespace qlv::cli
