#pragma once

#include <windows.h>  // platform
