// What the send service and the machine-communication process agree on: the
// distributed notification that carries one design, its user-info keys, and
// the send kinds, and the outcome signals by which the receiver says what
// became of each design. Both sides include this one header.
#pragma once

namespace Brodix::SendToMachineContract {

inline constexpr char kNotificationName[] = "QelSendToMachineNotification";

// The complete VP3 file image of the design (data).
inline constexpr char kDataToSendKey[] = "QelSendToMachineDataToSend";
// The selected file's own name and extension (string).
inline constexpr char kFilenameKey[] = "QelSendToMachineFilename";
// The send kind (integer), one of the two below.
inline constexpr char kFileTypeKey[] = "QelSendToMachineFileType";

inline constexpr int kNormalSend = 0;
inline constexpr int kExpressSend = 2;

// The receiver holds this bus name while it serves the session, and emits
// one outcome signal per notification from its object:
//   Delivered(s filename, s path)   the design was written to path
//   Refused(s filename, s reason)   it was not; reason is one short sentence
inline constexpr char kMachineLinkBusName[] = "com.brodix.MachineLink";
inline constexpr char kMachineLinkObjectPath[] = "/com/brodix/MachineLink";
inline constexpr char kMachineLinkInterface[] = "com.brodix.MachineLink";
inline constexpr char kDeliveredSignal[] = "Delivered";
inline constexpr char kRefusedSignal[] = "Refused";

} // namespace Brodix::SendToMachineContract
