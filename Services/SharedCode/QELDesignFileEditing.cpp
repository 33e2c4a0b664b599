// The design-file object's editing operations, on the design it holds.
#include "SharedCode/QELDesignFile.h"

namespace Brodix::SendService {

void QELDesignFile::addTrimCommands()
{
    if (m_design)
        DesignEditing::AddTrimCommands(*m_design);
}

void QELDesignFile::addExtraNote(std::string const& note)
{
    if (m_design)
        DesignEditing::AddExtraNote(*m_design, note);
}

void QELDesignFile::changeThreadRange(std::string const& range, ColourDB* colorDB)
{
    if (m_design)
        DesignEditing::ChangeThreadRange(*m_design, range, colorDB);
}

bool QELDesignFile::isFitIntoHoopSize(DesignEditing::CGSize size, bool rotate90) const
{
    return m_design && DesignEditing::IsFitIntoHoopSize(*m_design, size, rotate90);
}

} // namespace Brodix::SendService
