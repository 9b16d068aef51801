#pragma once

#include <functional>

namespace tarvik {

// Asked between files and between blocks, from every thread of a long task (a scan, a save, a
// run over marked files); true ends it.
using StopCheck = std::function<bool()>;

} // namespace tarvik
