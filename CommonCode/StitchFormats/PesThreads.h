// The threads the designer chose, as the PES section of versions 50 to 71
// lists them: code, RGB, name, maker and chart. A PES reader shows these
// instead of the nearest catalogue thread to the PEC palette colour.
#pragma once
#include "Fundamentals/ArchiverStream.h"
#include "Fundamentals/ColourData.h"
#include <optional>
#include <string>
#include <vector>

struct PESThread {
    std::string code;
    unsigned rgb = 0;   // 0x00BBGGRR
    std::string name;
    std::string maker;
    std::string chart;
};

// The thread table of the file in stream, read from its start and bounded by
// the PES section (it ends where the PEC section begins). Nothing when the
// version has no table this reader knows where to find, when design patterns
// stand before it, or when the table does not end where the design's object
// list begins. The stream position is not kept.
std::optional<std::vector<PESThread>> ReadPESThreads(Brodix::IArchiverStream& stream);

// The thread as a colour record: its own RGB, code, name and maker, with the
// material and weight of a built-in catalogue of the same maker (preferring
// one that lists the code), else those a new thread starts from.
Brodix::ColourData PESThreadColour(PESThread const& thread);
