#pragma once

// The study builders now live with the other file formats' builders.
#include "Fixtures.h"
