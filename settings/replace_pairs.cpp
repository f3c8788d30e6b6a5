#include "settings/replace_pairs.h"
