// qel-stitch itself draws nothing: its picture commands run in the helper.
#include "Commands.h"

namespace QelStitch {

PictureCommands const* LinkedPictureCommands() { return nullptr; }

} // namespace QelStitch
