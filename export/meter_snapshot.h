// The export worker's meters, gathered block by block until the window's display takes them
// (engine/meter_mailbox.h): no peak or clip is lost between two repaints, and the display never
// reads a half-written block.
#pragma once

#include "engine/meter_mailbox.h"

namespace zv {

using PublishedMeters = MeterMailbox;

}  // namespace zv
