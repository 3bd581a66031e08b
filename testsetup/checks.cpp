#include "checks.h"
