// Precompiled header source.
#include "stdafx.h"
