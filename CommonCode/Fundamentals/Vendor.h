// The reverse-domain prefix of every identifier this suite declares.
#pragma once

namespace Brodix {
inline constexpr char kVendorPrefix[] = "com.brodix";
}
