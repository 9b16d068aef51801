#include "core/registry.h"
