#include "app/Application.h"

int runApplication(int, char**) { return 0; }
