// io/laz/rgb_step_encoder.h - the encoder's side of the colour step of rgb_step.h.
#pragma once

#include "io/laz/arithmetic_encoder.h"
#include "io/laz/models.h"

#include <cstdint>

// Codes the colour `now` (red, green, blue) after the previous one, rgb, so that decodeRgb with
// models in the same state turns rgb into now; then stores now into rgb. The models are the
// ones decodeRgb takes: `used` of 128 symbols, six byte models of 256.
void encodeRgb(ArithmeticEncoder& enc, SymbolModel& used, SymbolModel* byteModels, uint16_t* rgb,
               const uint16_t* now);
