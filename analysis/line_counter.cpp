#include "analysis/line_counter.h"
