// Loading speed and memory of every machine-format reader on one shape of
// design (BenchShape.h): written through the front door where the format has
// a writer, built byte by byte where it has none, and loaded with
// Brodix::DesignFiles::LoadDesign as every program loads. Formats that hold
// fewer records than a million are timed at their limit.
#include "BenchFormatImages.h"
#include "BenchShape.h"
#include "DesignFiles/DesignFiles.h"
#include "PeakMemory.h"
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

namespace {

namespace DF = Brodix::DesignFiles;
using Bytes = std::vector<unsigned char>;

constexpr int kRecords = 1'000'000;
constexpr int kPcsRecords = 65'000;   // PCS holds at most 65,535 records

Bytes Written(DF::FileFormat format, int records)
{
    DF::SaveResult saved = DF::SaveDesign(BenchShape::MakeDesign(BenchShape::MakeMoves(records)), format, {L"bench"});
    return saved.Saved() ? std::move(saved.bytes) : Bytes{};
}

Bytes Built(Bytes (*image)(BenchFormatImages::Moves const&), int records)
{
    return image(BenchShape::MakeMoves(records));
}

// With QEL_BENCH_INPUTS set to a folder, each input is also written there,
// so that other builds can be shown to load the very same files alike.
void KeepInput(Bytes const& file, std::string const& name)
{
    char const* folder = std::getenv("QEL_BENCH_INPUTS");
    if (folder == nullptr)
        return;
    std::ofstream(std::string(folder) + "/" + name, std::ios::binary)
        .write(reinterpret_cast<char const*>(file.data()), static_cast<std::streamsize>(file.size()));
}

void Load(benchmark::State& state, DF::FileFormat format, int records, std::function<Bytes()> const& make,
          std::string const& fileName)
{
    Bytes const file = make();
    KeepInput(file, fileName);
    RestartPeakRss();
    std::size_t stitches = 0;
    for (auto _ : state) {
        DF::LoadResult const loaded = DF::LoadDesign(file, format);
        if (!loaded.Loaded()) {
            state.SkipWithError((std::string("the synthetic file did not load: ") + loaded.statusName).c_str());
            break;
        }
        stitches = loaded.design->GetStitchCount();
        benchmark::DoNotOptimize(stitches);
    }
    state.SetItemsProcessed(state.iterations() * records);
    state.counters["file_MB"] = static_cast<double>(file.size()) / (1024.0 * 1024.0);
    state.counters["stitches"] = static_cast<double>(stitches);
    state.counters["peak_rss_MB"] = PeakRssMegabytes();
}

struct Entry {
    char const* name;
    DF::FileFormat format;
    int records;
    std::function<Bytes()> make;
};

} // namespace

int main(int argc, char** argv)
{
    using F = DF::FileFormat;
    namespace I = BenchFormatImages;
    Entry const entries[] = {
        {"DST", F::DST, kRecords, [] { return Written(F::DST, kRecords); }},
        {"EXP", F::EXP, kRecords, [] { return Written(F::EXP, kRecords); }},
        {"10o", F::Toyota10o, kRecords, [] { return Written(F::Toyota10o, kRecords); }},
        {"PCS", F::PCS, kPcsRecords, [] { return Written(F::PCS, kPcsRecords); }},
        {"TVK", F::TVK, kRecords, [] { return Written(F::TVK, kRecords); }},
        {"VIP", F::VIP, kRecords, [] { return Written(F::VIP, kRecords); }},
        {"XXX", F::XXX, kRecords, [] { return Built(I::Xxx, kRecords); }},
        {"JEF", F::JEF, kRecords, [] { return Built(I::Jef, kRecords); }},
        {"SEW", F::SEW, kRecords, [] { return Built(I::Sew, kRecords); }},
        {"PEC", F::PEC, kRecords, [] { return Built(I::Pec, kRecords); }},
        {"PES", F::PES, kRecords, [] { return Built(I::Pes, kRecords); }},
        {"SHV", F::SHV, kRecords, [] { return Built(I::Shv, kRecords); }},
        {"ART", F::ART, kRecords, [] { return Built(I::Art, kRecords); }},
    };
    for (Entry const& e : entries) {
        std::string const name = std::string("Load") + e.name + "/" + std::to_string(e.records);
        benchmark::RegisterBenchmark(name.c_str(), [e](benchmark::State& state) {
            Load(state, e.format, e.records, e.make, std::string("bench.") + e.name);
        })
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
