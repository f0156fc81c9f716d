#include "simd/implementation.h"

#include <vector>

#include "simd/kernels.h"

namespace salvage::detail {
namespace {

constexpr Implementation kPlain{"plain", decodeCleanGroupsPlain, isValidUtf8Plain,
                                hasControlsPlain};
constexpr Implementation kCharacterAtATime{"character at a time", nullptr, isValidUtf8Plain,
                                           hasControlsPlain};
#if QLV_HAVE_X86_SIMD
constexpr Implementation kAvx2{"avx2", decodeCleanGroupsAvx2, isValidUtf8Avx2, hasControlsAvx2};
#endif

std::vector<const Implementation*> findSupported() {
    std::vector<const Implementation*> supported{&kPlain};
#if QLV_HAVE_X86_SIMD
    if (__builtin_cpu_supports("avx2")) {
        supported.push_back(&kAvx2);
    }
#endif
    return supported;
}

}  // namespace

const Implementation& plainImplementation() {
    return kPlain;
}

const Implementation& characterAtATime() {
    return kCharacterAtATime;
}

std::span<const Implementation* const> supportedImplementations() {
    static const std::vector<const Implementation*> supported = findSupported();
    return supported;
}

const Implementation& bestImplementation() {
    static const Implementation& best = *supportedImplementations().back();
    return best;
}

const Implementation* findImplementation(std::string_view name) {
    if (name == kCharacterAtATime.name) {
        return &kCharacterAtATime;
    }
    for (const Implementation* implementation : supportedImplementations()) {
        if (implementation->name == name) {
            return implementation;
        }
    }
    return nullptr;
}

}  // namespace salvage::detail
