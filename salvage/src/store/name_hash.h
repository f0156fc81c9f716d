#pragma once

#include <cstdint>
#include <string_view>

namespace salvage::detail {

// The hash of the section map's index. Keyed with a seed, so that a document cannot be made of
// names that all fall on one place of the index (which would make each store cost a walk over
// all the names before it): without the seed, which no document can know, names that collide
// cannot be chosen.
// `key`: from hashKey, made once for the many names hashed with it.
std::uint64_t hashName(std::string_view name, std::uint64_t key);
// Spreads a seed's bits over the key, so that a seed such as 1 serves as well as any.
std::uint64_t hashKey(std::uint64_t seed);

// A seed drawn from the system's randomness the first time it is asked for, the same for the
// rest of the process.
std::uint64_t processHashSeed();

}  // namespace salvage::detail
