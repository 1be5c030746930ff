// Small numeric conversions shared by the level writers and the block compressors: bytes and
// unit floats, n-bit fields, shared-exponent colour, compressed level sizes and colour weights.
#pragma once

#include <cstdint>

namespace dds {

struct TextureCompressOptions;

// value / 255.
float ByteToUnit(uint8_t value);
// (int)(v·255 + 0.5) clamped to 0..255.
int UnitToByte(float v);
// (int)(v·(2^n − 1) + 0.5) clamped to 0..2^n − 1.
int ClampUnsignedBits(float v, int bits);
// v·(2^(n−1) − 1) rounded half away from zero, clamped symmetrically (never the lowest value).
int ClampSignedBits(float v, int bits);
// ClampSignedBits(v, 8): −127..127.
int ClampSigned8(float v);

// Shared-exponent bytes R, G, B, E to colour; E = 0 is black.
void DecodeRGBE(const uint8_t rgbe[4], float& r, float& g, float& b);
// Colour to shared-exponent bytes R, G, B, E.
void EncodeRGBE(float r, float g, float b, uint8_t rgbe[4]);
// Colour to unit r, g, b and (e + 128)/255 in the fourth value.
void EncodeSharedExponent(float r, float g, float b, float out[4]);
// (e + 128)/255 of the largest channel, 0 for black.
float SharedExponentOf(float r, float g, float b);
// 4-bit exponent index: 0 for black or e < −8, else min(e, 7) + 8.
int ExponentIndex4(float r, float g, float b);

// Byte size of a block-compressed level of a texture format; 0 for formats that are not blocks.
int CompressedLevelSize(int width, int height, int texture_format);

// Stores the three colour weights of the block compressor, each clamped to 0..1.
void SetColorWeights(TextureCompressOptions& options, float r, float g, float b);
// Rewrites the weights from options.weighttype (0 luminance, 1 uniform, 2 (0.4, 0.4, 0.2));
// other types keep the weights.
void SetColorWeightsByType(TextureCompressOptions& options);

}  // namespace dds
