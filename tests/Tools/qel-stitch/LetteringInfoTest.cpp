// qel-stitch info on VP3 files with lettering and embedded SPX objects. This
// file also sets up the whole program's settings: the project's SPX test
// reader stands in for the suite's SPX library, installed and bound before
// the first test, so no test reaches the user's own folders through the
// suite's default settings.
#include "RunTool.h"
#include "SpxTestReaderSettings.h"
#include "StitchFormats/Vp3/SpxLibrary.h"
#include "Vp3TestBytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using namespace Vp3Test;
using QelStitchTesting::Result;
using QelStitchTesting::RunTool;

class InstallTheTestReader : public ::testing::Environment {
public:
    void SetUp() override
    {
        InstallSpxTestReader(QEL_SPX_TEST_READER);
        Brodix::Spx::Library().get();
    }
};
::testing::Environment* const gEnvironment = ::testing::AddGlobalTestEnvironment(new InstallTheTestReader);

TEST(QelStitchLettering, InfoCountsTextsCharactersAndSpxObjects)
{
    Bytes const spx = Block(0x22, SpxBody(SpxPoints({{kSpxNeedle, 0, 0},
                                                      {kSpxNeedle, 1000, 0},
                                                      {kSpxTrim, 0, 0},
                                                      {kSpxNeedle, 2000, 0}})));
    Bytes const file = File({LetteringText(), Block(4, SequenceBody({spx}))});
    std::string const path = testing::TempDir() + "qel-stitch-lettering-" + std::to_string(::getpid()) + ".vp3";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<char const*>(file.data()),
                                                static_cast<std::streamsize>(file.size()));
    Result const info = RunTool({"info", path});
    std::remove(path.c_str());
    ASSERT_EQ(info.status, 0) << info.err;
    for (char const* line : {"  texts:          1\n", "  characters:     4\n", "  SPX objects:    1\n",
                             "  SPX library:    found\n",
                             // Two stitches per character, three from the SPX points.
                             "  stitches:       11\n", "  trims:          1\n"})
        EXPECT_NE(info.out.find(line), std::string::npos) << line << info.out;
}

} // namespace
