// io/laz/rgb_step.h - the colour step shared by RGB12, RGB14 and RGBNIR14.
#pragma once

#include "io/laz/arithmetic_decoder.h"
#include "io/laz/models.h"

#include <cstdint>

// Turns the previous point's red, green and blue (rgb) into this point's. `used` (128 symbols)
// says which bytes changed and whether the colour is grey; byteModels are the six 256-symbol
// models of red, green and blue, low then high byte.
void decodeRgb(ArithmeticDecoder& dec, SymbolModel& used, SymbolModel* byteModels, uint16_t* rgb);
