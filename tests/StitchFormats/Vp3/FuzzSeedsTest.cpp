// The VP3 fuzz target's own seeds (fuzz/seeds/vp3) are files this builder
// makes: lettering and embedded SPX objects, which no sample file holds.
// The test keeps the committed files and the builder in step; with
// QEL_WRITE_FUZZ_SEEDS set it writes them instead.
#include "Vp3TestBytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace Vp3Test;

Bytes SeedDesign()
{
    StitchBlockFields block;
    block.startX = 200;
    block.startY = -300;
    block.data = {0x01, 0x01, 0x80, 0x03, 0x80, 0x01, 0x01, 0x00, 0xFF, 0x00, 0x80, 0x02};
    block.endX = 25700;
    block.endY = 25500;
    return Block(3, DesignBody({Block(5, StitchBlockBody(block))}, 0, 0, L"design"));
}

Bytes SeedSpx()
{
    return Block(0x22, SpxBody(SpxPoints({{kSpxNeedle, 0, 0},
                                          {kSpxNeedle, 1000, -500},
                                          {kSpxTrim, 0, 0},
                                          {kSpxNeedle, -2000, 300},
                                          {kSpxStop, 0, 0},
                                          {kSpxNeedle, 50, 50}}),
                               1500, -700, 0b10, 30));
}

std::vector<std::pair<std::string, Bytes>> Seeds()
{
    return {
        {"lettering.vp3", File({LetteringText()}, L"root")},
        {"spx.vp3", File({SeedSpx(), SeedDesign()})},
        {"sequence.vp3", File({Block(4, SequenceBody({LetteringText(L"in a sequence"), SeedSpx(), SeedDesign()}))})},
    };
}

TEST(Vp3FuzzSeeds, MatchTheBuilder)
{
    std::filesystem::path const folder = "fuzz/seeds/vp3";
    bool const write = std::getenv("QEL_WRITE_FUZZ_SEEDS") != nullptr;
    for (auto const& [name, bytes] : Seeds()) {
        std::filesystem::path const path = folder / name;
        if (write) {
            std::ofstream(path, std::ios::binary).write(reinterpret_cast<char const*>(bytes.data()),
                                                        static_cast<std::streamsize>(bytes.size()));
            continue;
        }
        std::ifstream file(path, std::ios::binary);
        ASSERT_TRUE(file) << path << " is missing; run this test with QEL_WRITE_FUZZ_SEEDS=1 to write it";
        Bytes const committed{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        EXPECT_EQ(committed, bytes) << path << " differs from the builder's; rewrite it with QEL_WRITE_FUZZ_SEEDS=1";
    }
}

} // namespace
