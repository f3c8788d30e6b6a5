#include "analysis/encoding_kind.h"
