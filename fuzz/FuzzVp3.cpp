// Feeds arbitrary bytes to the VP3 reader the way every program loads VP3
// (the front door: read into a list of designs and merge them), and encodes
// the result again. The same bytes also go through the one-design read
// without clean-up. Embedded SPX objects are read by the project's SPX test
// reader library, so the points it hands back are placed too.
#include "DesignFiles/DesignFiles.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"
#include "SpxTestReaderSettings.h"
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace Vp3 = Brodix::Vp3Lib;
namespace DF = Brodix::DesignFiles;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Vp3Test::InstallSpxTestReader(QEL_SPX_TEST_READER);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size)
{
    DF::LoadResult const loaded = DF::LoadDesign({data, size}, DF::FileFormat::VP3);
    Vp3::CVP3ReadWrite vp3;
    if (loaded.Loaded()) {
        void* buffer = nullptr;
        unsigned long written = 0;
        if (vp3.WriteToMemory(Vp3::CDesignHolder(*loaded.design), buffer, written, {0, 0}, true) == Vp3::kStatusOK)
            std::free(buffer);
    }
    Brodix::CSimpleDesign single;
    static_cast<void>(vp3.ReadFromMemory(Vp3::CDesignHolder(&single), data, size, {3, -2}, false));
    return 0;
}
