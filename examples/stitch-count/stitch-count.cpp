// Loads a design file through the installed library and prints its stitch count.
#include <DesignFiles/DesignFiles.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace DF = Brodix::DesignFiles;

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<unsigned char> const bytes{std::istreambuf_iterator<char>(in), {}};
    auto const format = DF::FileFormatFromExtension(std::filesystem::path(argv[1]).extension().string());
    if (!in || !format)
        return 2;
    DF::LoadResult const result = DF::LoadDesign(bytes, *format);
    if (!result.Loaded()) {
        std::cerr << result.statusName << ": " << result.meaning << '\n';
        return 1;
    }
    std::cout << result.design->GetStitchCount() << '\n';
    return 0;
}
