// One selected embroidery file: read whole, loaded into a design by its type
// identifier (VP3 through the VP3 reader, every other format through the
// format engine, both through the front door to design files), and sent to
// the machine-communication process as a VP3 file image in the notification
// of SendToMachineContract.h.
#pragma once
#include "Fundamentals/Design.h"
#include "Platform/URL.h"
#include "SharedCode/DesignEditing.h"
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Brodix::SendService {

// Larger files are not read: no embroidery file comes near this, and reading
// one whole must not exhaust memory.
inline constexpr std::size_t kMaxDesignFileBytes = 256u * 1024 * 1024;

// The vendor's type identifier of VP3 files.
std::string const& VP3TypeIdentifier();

class QELDesignFile {
public:
    // initWithURL: loads the file the URL names, typed by its type identifier.
    explicit QELDesignFile(Platform::URL const& url);
    // initWithData:ofType: (null data or type: the load fails).
    QELDesignFile(std::vector<unsigned char> const* data, std::string const* type);

    // Replaces the design only when the load succeeds.
    bool loadData(std::vector<unsigned char> const* data, std::string const* type);
    std::shared_ptr<IDesign> innerDesign() const { return m_design; }

    void sendToMachine(bool express);
    void sendToMachine() { sendToMachine(false); }
    void sendExpressToMachine() { sendToMachine(true); }

    // Editing the loaded design (QELDesignFileEditing.cpp); each does nothing without one.
    void addTrimCommands();
    // addExtraNote: (UTF-8)
    void addExtraNote(std::string const& note);
    // changeThreadRange:withColorDB: leaves every colour as it was unless all of them find a thread.
    void changeThreadRange(std::string const& range, ColourDB* colorDB);
    // isFitIntoHoopSize:rotate90: (size in design units); NO without a design.
    bool isFitIntoHoopSize(DesignEditing::CGSize size, bool rotate90) const;

    bool isValid() const { return _isValid; }
    void setIsValid(bool valid) { _isValid = valid; }

private:
    std::shared_ptr<IDesign> m_design;
    std::optional<Platform::URL> m_url;
    bool _isValid = false;
};

} // namespace Brodix::SendService
