#include "tests/support/FakePort.h"
