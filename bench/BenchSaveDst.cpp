// Writing speed and memory of the machine-format writers: a design of up to
// one million stitch records (zigzag stitches, a long move every 997 records,
// a trim every 1000 and a colour change every 50,000) is saved as DST through
// the front door every program uses, at three sizes so that the time per
// record can be seen to stay the same; the DST, PEC, PES and JEF writers alone
// write a container of one million records.
#include "DesignFiles/DesignFiles.h"
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Stitches.h"
#include "PeakMemory.h"
#include <benchmark/benchmark.h>

namespace {

namespace DF = Brodix::DesignFiles;
using Brodix::CAbsStitch;
using Brodix::CommonTypes::PointI;

constexpr int kColourEvery = 50'000;
constexpr int kTrimEvery = 1000;
constexpr int kLongMoveEvery = 997;   // 300 units: three records in DST

Brodix::CSimpleDesign MakeDesign(int records)
{
    Brodix::CSimpleDesign design;
    design.ReserveStitches(static_cast<std::size_t>(records) + 1);
    Brodix::ColourData colour = Brodix::ColourData::Default();
    design.AddColourStitch(colour, PointI{0, 0}, false);
    int x = 0, y = 0, colourIndex = 0;
    for (int i = 1; i < records; ++i) {
        if (i % kColourEvery == 0) {
            colour.colours[0] = static_cast<unsigned>(i) * 0x0101;
            design.AddColourStitch(colour, PointI{x, y}, false);
            ++colourIndex;
            continue;
        }
        if (i % kTrimEvery == 0) {
            design.AddStitch(CAbsStitch{PointI{x, y}, colourIndex, CAbsStitch::Trim, false, true});
            continue;
        }
        x += i % kLongMoveEvery == 0 ? 300 : (i % 2 ? 25 : -25);
        y += i % 2 ? 4 : 0;
        if (y > 3000)
            y = 0;
        if (x > 3000 || x < -3000)
            x = 0;
        design.AddStitch(CAbsStitch{PointI{x, y}, colourIndex, CAbsStitch::Normal, false, true});
    }
    return design;
}

void SaveDstDesign(benchmark::State& state)
{
    int const records = static_cast<int>(state.range(0));
    Brodix::CSimpleDesign const design = MakeDesign(records);
    std::size_t bytes = 0;
    for (auto _ : state) {
        DF::SaveResult const saved = DF::SaveDesign(design, DF::FileFormat::DST, {L"bench"});
        if (!saved.Saved()) {
            state.SkipWithError("the synthetic design was not written");
            break;
        }
        bytes = saved.bytes.size();
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * records);
    state.SetComplexityN(records);
    state.counters["file_MB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
    state.counters["peak_rss_MB"] = PeakRssMegabytes();
}

BENCHMARK(SaveDstDesign)->RangeMultiplier(10)->Range(10'000, 1'000'000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

class MemoryOutput : public Brodix::StitchFormats::IArchiverRetriever {
public:
    Brodix::IArchiverStream* GetArchiver() override { return &stream; }
    bool IsArchiverValid() override { return true; }
    Brodix::Archivers::MemoryStreamRW<Brodix::IArchiverStream> stream;
};

// A writer alone, from the container the save entry makes of the design.
void WriterAlone(benchmark::State& state, Brodix::StitchFormats::Format format)
{
    constexpr int kRecords = 1'000'000;
    CStitches stitches(1);
    if (!stitches.ConvertFromAbsolute(MakeDesign(kRecords), true)) {
        state.SkipWithError("the synthetic design did not convert");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        MemoryOutput output;
        if (stitches.Save(output, format, nullptr, nullptr, nullptr) != 0) {
            state.SkipWithError("the container was not written");
            break;
        }
        bytes = output.stream.Content().size();
        benchmark::DoNotOptimize(output.stream.Content().data());
    }
    state.SetItemsProcessed(state.iterations() * stitches.GetCount());
    state.counters["records"] = static_cast<double>(stitches.GetCount());
    state.counters["file_MB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
    state.counters["peak_rss_MB"] = PeakRssMegabytes();
}

BENCHMARK_CAPTURE(WriterAlone, DST, Brodix::StitchFormats::FormatDST)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WriterAlone, PEC, Brodix::StitchFormats::FormatPEC)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WriterAlone, PES, Brodix::StitchFormats::FormatPES)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WriterAlone, JEF, Brodix::StitchFormats::FormatJEF)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
