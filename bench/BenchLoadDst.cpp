// Loading speed and memory of the format engine: a synthetic DST file of one
// million records (several colours, long jump runs that become trims) is
// built in memory and loaded through the front door every program uses.
#include "DesignFiles/DesignFiles.h"
#include "PeakMemory.h"
#include <benchmark/benchmark.h>
#include <cstdint>
#include <vector>

namespace {

namespace DF = Brodix::DesignFiles;

constexpr int kRecords = 1'000'000;
constexpr int kColourEvery = 50'000;   // 19 colour changes
constexpr int kJumpRunEvery = 997;     // a run of four long jumps, hence a trim
constexpr std::size_t kHeaderSize = 512;

// b0/b1/b2 of a few fixed moves, normal stitches and the longest jump.
constexpr uint8_t kStitchRight[3] = {0b0000'0101, 0b0000'0000, 0x03};   // x +10
constexpr uint8_t kStitchDown[3] = {0b0100'0000, 0b0100'0000, 0x03};    // y -4
constexpr uint8_t kStitchLeft[3] = {0b0000'1010, 0b0000'0000, 0x03};    // x -10
constexpr uint8_t kLongJump[3] = {0b0000'0101, 0b0000'0101, 0x87};      // x +121
constexpr uint8_t kColourChange[3] = {0x00, 0x00, 0xC3};
constexpr uint8_t kEnd[3] = {0x00, 0x00, 0xF3};

std::vector<unsigned char> MakeDst()
{
    std::vector<unsigned char> file(kHeaderSize, ' ');
    file.reserve(kHeaderSize + 3 * (kRecords + 1));
    auto put = [&](uint8_t const (&record)[3]) { file.insert(file.end(), record, record + 3); };
    uint8_t const (*stitches[])[3] = {&kStitchRight, &kStitchDown, &kStitchLeft, &kStitchDown};
    for (int i = 0; i < kRecords;) {
        if (i > 0 && i % kColourEvery == 0) {
            put(kColourChange);
            ++i;
        } else if (i % kJumpRunEvery == kJumpRunEvery - 1) {
            for (int j = 0; j < 4 && i < kRecords; ++j, ++i)
                put(kLongJump);
        } else {
            put(*stitches[i % 4]);
            ++i;
        }
    }
    put(kEnd);
    return file;
}

void LoadDst(benchmark::State& state)
{
    std::vector<unsigned char> const file = MakeDst();
    std::size_t stitches = 0;
    for (auto _ : state) {
        DF::LoadResult const loaded = DF::LoadDesign(file, DF::FileFormat::DST);
        if (!loaded.Loaded()) {
            state.SkipWithError("the synthetic DST did not load");
            break;
        }
        stitches = loaded.design->GetStitchCount();
        benchmark::DoNotOptimize(stitches);
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
    state.counters["stitches"] = static_cast<double>(stitches);
    state.counters["peak_rss_MB"] = PeakRssMegabytes();
}

BENCHMARK(LoadDst)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
