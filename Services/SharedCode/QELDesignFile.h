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

    // True when the design was encoded and posted (not that it arrived).
    // A design VP3 cannot hold is not posted; sendProblem says so.
    bool sendToMachine(bool express);
    bool sendToMachine() { return sendToMachine(false); }
    bool sendExpressToMachine() { return sendToMachine(true); }

    // Whether the design has at least one stitch to sew; an empty design
    // would reach the machine as a file that sews nothing.
    bool hasStitchesToSew() const;
    // Why the file did not load, in a few words ("cannot be read"); empty
    // when it loaded.
    std::string const& loadProblem() const { return m_loadProblem; }
    // Why the last send did not post, when the encoding refused the design;
    // empty otherwise.
    std::string const& sendProblem() const { return m_sendProblem; }

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
    std::string m_loadProblem;
    std::string m_sendProblem;
};

inline constexpr char kNoTypeProblem[] = "not a design file";
inline constexpr char kCannotReadProblem[] = "cannot be read";
inline constexpr char kNotReadableDesignProblem[] = "not a design that can be read";
inline constexpr char kTooLargeProblem[] = "too large for VP3";

} // namespace Brodix::SendService
