#include "codeedit.h"
