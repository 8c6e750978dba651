#pragma once
#include "core/DataPacket.h"

namespace krv::test {

// An explanation as the server answers it: two dishes, the increase, the rounding and the
// stored total of one raw-material item.
DataPacket ExplanationPacket();

}  // namespace krv::test
