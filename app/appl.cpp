#include "app/appl.h"
