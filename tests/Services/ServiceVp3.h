// The VP3 image the send service makes of a design file: loaded as the
// service loads it and encoded as it encodes it. Empty when it does not load.
#pragma once
#include "Platform/FileManager.h"
#include "SharedCode/QELDesignFile.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <string>
#include <vector>

namespace QelTest {

inline std::vector<unsigned char> ServiceVp3(std::string const& path, std::string const& type)
{
    using namespace Brodix;
    auto const data = Platform::ReadFileContents(path, SendService::kMaxDesignFileBytes);
    SendService::QELDesignFile file(data ? &*data : nullptr, &type);
    EXPECT_TRUE(file.isValid()) << path;
    if (!file.isValid())
        return {};
    Vp3Lib::CVP3ReadWrite writer;
    void* buffer = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(writer.WriteToMemory(Vp3Lib::CDesignHolder(*file.innerDesign()), buffer, size,
                                   CommonTypes::PointI{0, 0}, true),
              0u);
    std::vector<unsigned char> bytes(static_cast<unsigned char*>(buffer), static_cast<unsigned char*>(buffer) + size);
    std::free(buffer);
    return bytes;
}

} // namespace QelTest
