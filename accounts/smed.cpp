#include "smed.h"
