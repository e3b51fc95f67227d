#include "colourtransform.h"
