#include "resolver.h"

REALResolver gResolver = nullptr;
