// The editing options of "convert", applied to the loaded design before it is
// written: trims, then the thread range, then the note.
#include "Commands.h"
#include "SharedCode/DesignEditing.h"
#include "ThreadDatabases.h"
#include <ostream>

namespace QelStitch {

bool ApplyEdits(Options const& options, IDesign& design, std::ostream& err)
{
    namespace DE = Brodix::DesignEditing;
    if (options.addTrims)
        DE::AddTrimCommands(design);
    if (options.threadRange) {
        ThreadDatabases const databases(err);
        if (!databases.AnyOpen())
            return false;
        if (!databases.Knows(*options.threadRange)) {
            databases.ReportUnknown(*options.threadRange, err);
            return false;
        }
        if (!DE::ChangeThreadRange(design, *options.threadRange, databases.Handle())) {
            err << "qel-stitch: the thread range '" << *options.threadRange
                << "' has no match for every colour; nothing was written\n";
            return false;
        }
    }
    if (options.note)
        DE::AddExtraNote(design, *options.note);
    return true;
}

} // namespace QelStitch
