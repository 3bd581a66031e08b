#pragma once

#include "cellsource.h"
#include "testinput.h"
