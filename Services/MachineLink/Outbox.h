// The machine's outbox: where qel-machine-link puts each design it receives,
// as a VP3 file named after the file the user selected. It decides what is
// accepted and under which name; the platform layer does the writing.
#pragma once
#include "Platform/PropertyList.h"
#include <cstddef>
#include <optional>
#include <string>

namespace Brodix::MachineLink {

// Payloads above this are refused unread: no design comes near it.
inline constexpr std::size_t kMaxPayloadBytes = 64u * 1024 * 1024;
inline constexpr char kExpressFolder[] = "express";
inline constexpr char kOutboxExtension[] = ".vp3";

struct Delivery {
    bool written = false;
    std::string path;      // the file written, when written
    std::string logLine;   // one line, no newline, names escaped
    std::string reason;    // why it was refused: one short sentence for the sender
};

inline constexpr char kOutboxMissingReason[] = "the outbox is missing (is the stick mounted?)";
inline constexpr char kOutboxReadOnlyReason[] = "the outbox is read-only";
inline constexpr char kOutboxFullReason[] = "the outbox is full";
inline constexpr char kNotVp3Reason[] = "not a VP3 design";

// Why designs cannot go into the folder now, or nothing when they can.
std::optional<std::string> OutboxProblem(std::string const& folder);

class Outbox {
public:
    explicit Outbox(std::string folder) : m_folder(std::move(folder)) {}
    std::string const& Folder() const { return m_folder; }

    // Writes the design that a "QelSendToMachineNotification" carries, or
    // refuses it: a malformed notification (nothing), a missing or unsafe
    // file name, an unknown send kind, a payload that is too large or that
    // our VP3 reader rejects, an outbox folder that is gone or read-only.
    // Creates the express folder inside the outbox, never the outbox itself.
    // Never overwrites: " (2)", " (3)", ... are added.
    Delivery Deliver(std::optional<Platform::PropertyDictionary> const& userInfo) const;

private:
    std::string m_folder;
};

// The folder used without --outbox: $XDG_DATA_HOME/com.brodix.MachineLink/outbox
// (~/.local/share/... when XDG_DATA_HOME is unset or not absolute).
std::string DefaultOutboxFolder();

// Why a received file name cannot be used, or nothing when it can: empty,
// starting with ".", holding "/", NUL or another control character, or too
// long for the numbered name built from it.
std::optional<std::string> FileNameProblem(std::string const& name);

// The outbox name for a received file name and a copy number: the extension
// replaced by ".vp3", and " (n)" before it from the second copy on.
std::string OutboxFileName(std::string const& receivedName, unsigned copy);

} // namespace Brodix::MachineLink
