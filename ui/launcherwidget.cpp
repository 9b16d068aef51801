#include "ui/launcherwidget.h"
