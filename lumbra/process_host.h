// The process as the exported library sees it: its monotonic clock, its environment
// and where the library's "lumbra:" lines go. One implementation per system.
#pragma once

#include "session.h"

namespace lumbra
{

Host processHost();

}  // namespace lumbra
