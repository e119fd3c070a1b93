#include "lichform.h"
