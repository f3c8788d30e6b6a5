#include "analysis/line_extraction.h"
