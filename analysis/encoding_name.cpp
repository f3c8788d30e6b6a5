#include "analysis/encoding_name.h"
