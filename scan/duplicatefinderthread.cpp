#include "scan/duplicatefinderthread.h"
