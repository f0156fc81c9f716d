#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace salvage::testing {

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qlv-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A plain Base64 encoder written independently of the decoder under test.
inline std::string encodeBase64(std::string_view bytes, bool pad = true) {
    static constexpr char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const auto v = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]) << 16 |
                                                  static_cast<unsigned char>(bytes[i + 1]) << 8 |
                                                  static_cast<unsigned char>(bytes[i + 2]));
        for (int shift = 18; shift >= 0; shift -= 6) {
            out.push_back(alphabet[(v >> shift) & 63]);
        }
    }
    const std::size_t rest = bytes.size() - i;
    if (rest != 0) {
        std::uint32_t v = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]) << 16);
        if (rest == 2) {
            v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1]) << 8);
        }
        out.push_back(alphabet[(v >> 18) & 63]);
        out.push_back(alphabet[(v >> 12) & 63]);
        if (rest == 2) {
            out.push_back(alphabet[(v >> 6) & 63]);
        }
        if (pad) {
            out.append(3 - rest, '=');
        }
    }
    return out;
}

inline std::string randomBytes(std::mt19937& rng, std::size_t size) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(byte(rng));
    }
    return bytes;
}

// Text made only of the given characters.
inline std::string randomText(std::mt19937& rng, std::string_view alphabet, std::size_t size) {
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string text(size, '\0');
    for (char& c : text) {
        c = alphabet[pick(rng)];
    }
    return text;
}

}  // namespace salvage::testing
