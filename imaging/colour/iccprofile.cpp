#include "iccprofile.h"
