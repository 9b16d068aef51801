#include "ui/treewidget.h"
