// The pixel programs that turn decoded video planes into colour: BT.601 limited-range YCbCr
// read from the alpha channels of A8 textures on samplers 0 (Y), 1 (Cr), 2 (Cb) and, for the
// second program, 3 (A); the result is multiplied by constant 0.
#pragma once

namespace gpux {

// For Device::CreatePixelShader.
extern const char* const kVideoColourShader;
extern const char* const kVideoColourAlphaShader;

}  // namespace gpux
