#include "ui/resultwidget.h"
