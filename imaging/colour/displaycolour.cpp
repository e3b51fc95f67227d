#include "displaycolour.h"
