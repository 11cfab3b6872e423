#pragma once
// The sampler's fake sound device lives with the other shared fakes.
#include "support/fake_sound_buffer.h"
