#include "scan/duplicateevent.h"
