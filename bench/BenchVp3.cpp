// Encoding a design of 1,000,000 records as VP3 with WriteToMemory, as the
// send service does, and loading it back through the front door, as every
// program loads VP3. Reports records per second and the process's peak
// resident memory.
#include "DesignFiles/DesignFiles.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

namespace {

using namespace Brodix;
using namespace Brodix::Vp3Lib;

constexpr int kRecords = 1'000'000;
constexpr int kColours = 12;

double PeakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;   // kilobytes on Linux
}

// Satin-like zigzags with a long move every 50 records, a trim and a jump
// every 1000, in twelve colours.
CSimpleDesign const& BenchDesign()
{
    static CSimpleDesign const design = [] {
        CSimpleDesign d;
        d.ReserveStitches(kRecords);
        int x = 0, y = 0;
        for (int i = 0; i < kRecords; ++i) {
            if (i % (kRecords / kColours) == 0 && d.GetColourCount() < kColours) {
                ColourData colour = ColourData::Default();
                colour.colours[0] = 0x102030u * (d.GetColourCount() + 1);
                // Where the needle is: the block starts there.
                d.AddColourStitch(colour, {x % 20000, y % 20000}, false);
                continue;
            }
            CAbsStitch record;
            record.colourIndex = static_cast<int32_t>(d.GetColourCount()) - 1;
            if (i % 1000 == 997) {
                record.type = CAbsStitch::Trim;
            } else if (i % 1000 == 998) {
                record.type = CAbsStitch::Jump;
                x += 400;
            } else if (i % 50 == 0) {
                y += 150;   // longer than one short code can hold
            } else {
                x += (i % 2 == 0) ? 35 : -33;
                y += (i % 2 == 0) ? 2 : -1;
            }
            record.position = {x % 20000, y % 20000};
            d.AddStitch(record);
        }
        return d;
    }();
    return design;
}

void Vp3WriteToMemory(benchmark::State& state)
{
    CSimpleDesign const& design = BenchDesign();
    unsigned long size = 0;
    for (auto _ : state) {
        void* buffer = nullptr;
        CVP3ReadWrite vp3;
        if (vp3.WriteToMemory(CDesignHolder(design), buffer, size, {0, 0}, true) != kStatusOK)
            state.SkipWithError("WriteToMemory failed");
        benchmark::DoNotOptimize(buffer);
        std::free(buffer);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(design.GetStitchCount()));
    state.counters["file_MB"] = static_cast<double>(size) / (1024.0 * 1024.0);
    state.counters["peak_rss_MB"] = PeakMegabytes();
}

void Vp3LoadDesign(benchmark::State& state)
{
    CSimpleDesign const& design = BenchDesign();
    void* buffer = nullptr;
    unsigned long size = 0;
    CVP3ReadWrite writer;
    if (writer.WriteToMemory(CDesignHolder(design), buffer, size, {0, 0}, true) != kStatusOK) {
        state.SkipWithError("WriteToMemory failed");
        return;
    }
    std::unique_ptr<void, decltype(&std::free)> const file(buffer, &std::free);
    std::span<unsigned char const> const bytes(static_cast<unsigned char const*>(file.get()), size);
    unsigned long records = 0;
    for (auto _ : state) {
        DesignFiles::LoadResult const loaded = DesignFiles::LoadDesign(bytes, DesignFiles::FileFormat::VP3);
        if (loaded.status != static_cast<int>(kStatusOK)) {
            state.SkipWithError("LoadDesign failed");
            break;
        }
        records = loaded.design->GetStitchCount();
        benchmark::DoNotOptimize(loaded.design);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(records));
    state.counters["records_read"] = static_cast<double>(records);
    state.counters["peak_rss_MB"] = PeakMegabytes();
}

BENCHMARK(Vp3WriteToMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(Vp3LoadDesign)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
