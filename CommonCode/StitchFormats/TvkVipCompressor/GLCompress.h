// One-call compression and decompression of a whole TVK/VIP section between
// two streams, at the level the files use.
#pragma once
#include "Fundamentals/ArchiverStream.h"

[[nodiscard]] bool GLCompress(Brodix::IArchiverStream& in, Brodix::IArchiverStream& out);
[[nodiscard]] bool GLDecompress(Brodix::IArchiverStream& in, Brodix::IArchiverStream& out);
