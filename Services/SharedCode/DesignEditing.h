// The operations that change or test a loaded design for the suite's front
// ends: trim commands, an extra note, moving every colour to one thread range,
// and the hoop test. The design-file object and the command-line tool share them.
#pragma once
#include "Fundamentals/Design.h"
#include <string>

struct ColourDB;

namespace Brodix::DesignEditing {

// Width and height in design units (tenths of a millimetre).
struct CGSize {
    double width = 0.0;
    double height = 0.0;
};

// Hides the long connecting stitches and puts a trim before each hidden run.
void AddTrimCommands(IDesign& design);

// Appends the note (UTF-8) to the design's notes, keeping the settings after the marker.
void AddExtraNote(IDesign& design, std::string const& note);

// Replaces every colour by the nearest thread of the range (UTF-8 name) found in
// the open databases. All or nothing: false, with the design unchanged, when
// some colour has no match (for instance because the range holds no thread).
bool ChangeThreadRange(IDesign& design, std::string const& range, ColourDB* colorDB);

// The size the design needs in a hoop: per axis, twice the larger distance of
// its two edges from the hoop's centre, where the design stays.
CGSize SizeAboutCentre(IDesign const& design);

// Values equal to the hoop's fit; rotate90 turns the design a quarter turn.
bool IsFitIntoHoopSize(IDesign const& design, CGSize hoop, bool rotate90);

} // namespace Brodix::DesignEditing
