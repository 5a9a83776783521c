#include "updatecheck.h"
