// Feeds arbitrary bytes to the VP3 reader the way the send service uses it:
// read into a list of designs, merge them, and encode the result again. The
// same bytes also go through the one-design read without clean-up. Embedded
// SPX objects are read by the project's SPX test reader library, so the
// points it hands back are placed too.
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"
#include "SpxTestReaderSettings.h"
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace Vp3 = Brodix::Vp3Lib;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Vp3Test::InstallSpxTestReader(QEL_SPX_TEST_READER);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size)
{
    Vp3::CVP3ReadWrite vp3;
    std::vector<std::shared_ptr<IDesign>> designs;
    unsigned int const status = vp3.ReadFromMemory(Vp3::CDesignHolder(&designs), data, size, {0, 0}, true);
    if (!Vp3::Private::IsCriticalError(status)) {
        Brodix::CSimpleDesign merged;
        for (auto const& design : designs)
            Brodix::CSimpleDesign::MergeDesign(merged, *design, true, false);
        void* buffer = nullptr;
        unsigned long written = 0;
        if (vp3.WriteToMemory(Vp3::CDesignHolder(merged), buffer, written, {0, 0}, true) == Vp3::kStatusOK)
            std::free(buffer);
    }
    Brodix::CSimpleDesign single;
    vp3.ReadFromMemory(Vp3::CDesignHolder(&single), data, size, {3, -2}, false);
    return 0;
}
