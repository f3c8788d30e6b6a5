#include "analysis/analysis_cache.h"
