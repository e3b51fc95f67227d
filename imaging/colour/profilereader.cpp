#include "profilereader.h"
