#include "ui/newsearchwidget.h"
