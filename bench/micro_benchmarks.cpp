// Micro-benchmarks of the salvage core: the Base64 decoder in each version this processor runs
// (BM_Decode/<version>: --benchmark_filter=Decode/avx2 pins one), tag removal, and the whole
// reader on documents of a few shapes. The end-to-end comparison with other tools is
// bench/compare.sh.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "base64_encoder.h"
#include "salvage/base64.h"
#include "salvage/reader.h"
#include "salvage/section_filter.h"
#include "salvage/section_line.h"
#include "simd/implementation.h"

namespace {

using qlv::encodeBase64;

std::string prose(std::size_t size, unsigned seed = 7) {
    static constexpr std::string_view words[] = {"the ",    "letter ",  "café ", "Zürich ",
                                                 "river, ", "draft.\n", "— ",    "morning "};
    std::mt19937 rng(seed);
    std::string text;
    text.reserve(size + 16);
    while (text.size() < size) {
        text += words[rng() % std::size(words)];
    }
    text.resize(size);
    return text;
}

// Base64 of `size` bytes, with one junk byte every `junkEvery` characters (0: none).
std::string base64Input(std::size_t size, std::size_t junkEvery) {
    std::string clean = encodeBase64(prose(size / 4 * 3));
    if (junkEvery == 0) {
        return clean;
    }
    std::string damaged;
    damaged.reserve(clean.size() + clean.size() / junkEvery + 1);
    for (std::size_t i = 0; i < clean.size(); ++i) {
        if (i % junkEvery == junkEvery - 1) {
            damaged.push_back(i % 3 == 0 ? '=' : '\n');
        }
        damaged.push_back(clean[i]);
    }
    return damaged;
}

void decode(benchmark::State& state, const salvage::detail::Implementation* routines) {
    const std::string input = base64Input(static_cast<std::size_t>(state.range(0)),
                                          static_cast<std::size_t>(state.range(1)));
    for (auto _ : state) {
        std::string out = salvage::decodeBase64(input, *routines);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
}

// One BM_Decode/<version> per version. Args: input bytes, a junk byte every N characters
// (0: clean).
const bool kDecodeRegistered = [] {
    std::vector<const salvage::detail::Implementation*> versions{
        &salvage::detail::characterAtATime()};
    for (const auto* version : salvage::detail::supportedImplementations()) {
        versions.push_back(version);
    }
    for (const auto* version : versions) {
        std::string name = "BM_Decode/" + std::string(version->name);
        std::replace(name.begin(), name.end(), ' ', '_');
        benchmark::RegisterBenchmark(name.c_str(), decode, version)
            ->Args({8 << 10, 0})
            ->Args({4 << 20, 0})
            ->Args({4 << 20, 77})
            ->Args({64 << 10, 5});
    }
    return true;
}();

void BM_StripTags(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    std::string line;
    switch (state.range(1)) {
        case 0:  // an ordinary section line
            line = "<Section name=\"QQ==\" style=\"body\">" + base64Input(size, 0) + "</Section>";
            break;
        case 1:  // "<" that nothing closes
            line = "<Section name=\"QQ==\">" + std::string(size, '<');
            break;
        default:  // "<>" pairs
            line = "<Section name=\"QQ==\">";
            for (std::size_t i = 0; i < size / 2; ++i) {
                line += "<>";
            }
            break;
    }
    for (auto _ : state) {
        std::string body = salvage::stripTags(line);
        benchmark::DoNotOptimize(body.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(line.size()));
}
// Args: line bytes, shape (0 ordinary, 1 unclosed "<", 2 "<>" pairs).
BENCHMARK(BM_StripTags)->Args({8 << 10, 0})->Args({1 << 20, 1})->Args({1 << 20, 2});

std::string document(std::size_t sectionBytes, std::size_t totalBytes) {
    std::string doc = "<?xml version=\"1.0\"?>\n<QuilloraDocument>\n";
    const std::string body = base64Input(sectionBytes, 0);
    for (std::size_t index = 0; doc.size() < totalBytes; ++index) {
        doc += "<Section name=\"" + encodeBase64("Section " + std::to_string(index) + "..") +
               "\" style=\"body\">" + body + "</Section>\n";
    }
    doc += "</QuilloraDocument>\n";
    return doc;
}

void BM_Reader(benchmark::State& state) {
    const std::string doc = document(static_cast<std::size_t>(state.range(0)), 32 << 20);
    const auto pieceSize = static_cast<std::size_t>(state.range(1));
    const auto reading = state.range(2) != 0 ? salvage::Reading::Thorough : salvage::Reading::Plain;
    for (auto _ : state) {
        salvage::DocumentReader reader(reading);
        reader.expectSize(doc.size());
        for (std::size_t at = 0; at < doc.size(); at += pieceSize) {
            reader.feed(std::string_view(doc).substr(at, pieceSize));
        }
        salvage::ParseResult result = reader.finish("bench.qlx");
        benchmark::DoNotOptimize(result.document.contents.size());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(doc.size()));
}
// Args: section line bytes, bytes fed at a time, thorough reading (0 or 1). 32 MiB documents.
BENCHMARK(BM_Reader)
    ->Args({8 << 10, 4 << 20, 0})
    ->Args({2 << 20, 4 << 20, 0})
    ->Args({64, 4 << 20, 0})
    ->Args({8 << 10, 4 << 10, 0})
    ->Args({8 << 10, 4 << 20, 1})
    ->Args({2 << 20, 4 << 20, 1})
    ->Args({64, 4 << 20, 1})
    ->Args({8 << 10, 4 << 10, 1})
    ->Unit(benchmark::kMillisecond);

// The window's filter field on a document of a million short sections: the first keystroke of
// a phrase searches every section; each further one only the sections still shown.
void BM_FilterSections(benchmark::State& state) {
    salvage::SectionMap map;
    const std::string text = prose(1 << 20);
    for (std::size_t i = 0; i < 1'000'000; ++i) {
        map.assign("Section " + std::to_string(i), std::string_view(text).substr(i % 4096, 60));
    }
    const auto phrase = state.range(0);
    for (auto _ : state) {
        salvage::SectionFilter filter(map);
        if (phrase == 2) {
            state.PauseTiming();
            filter.match("rive");
            state.ResumeTiming();
        }
        const char* const typed[] = {"riv", "Z\xc3\xbcr", "river"};
        benchmark::DoNotOptimize(filter.match(typed[phrase]).size());
    }
}
// Arg: the phrase typed, 0 three ASCII letters, 1 three letters beyond ASCII (both a first
// keystroke), 2 a further keystroke.
BENCHMARK(BM_FilterSections)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
