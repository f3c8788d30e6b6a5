#include "plugin/catalogue.h"
