#include "ui/toolmenu.h"
