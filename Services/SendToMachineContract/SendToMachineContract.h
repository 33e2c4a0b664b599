// What the send service and the machine-communication process agree on: the
// distributed notification that carries one design, its user-info keys, and
// the send kinds. Both sides include this one header.
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

} // namespace Brodix::SendToMachineContract
