#include "core/registrysqlite.h"
