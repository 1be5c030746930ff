// Colour records of the renderer, the bitmaps and the GUI. Color32 lies in memory as blue, green,
// red, alpha: read as a little-endian 32-bit word that is 0xAARRGGBB, the packed colour the
// graphics device and A8R8G8B8 textures take, so it is handed over without conversion.
// Color24 is blue, green, red without alpha. Channel arithmetic wraps modulo 256.
#pragma once

namespace base {

struct Color24 {
  unsigned char b = 0, g = 0, r = 0;

  constexpr Color24() = default;  // black
  constexpr Color24(unsigned char red, unsigned char green, unsigned char blue) : b(blue), g(green), r(red) {}
  // From a COLORREF-ordered value: red = bits 0-7, green = bits 8-15, blue = bits 16-23.
  constexpr explicit Color24(unsigned long value)
      : b(static_cast<unsigned char>(value >> 16)), g(static_cast<unsigned char>(value >> 8)),
        r(static_cast<unsigned char>(value)) {}

  static constexpr int size() { return 3; }
  // Byte i in memory order (0 blue, 1 green, 2 red).
  constexpr unsigned char& operator[](int i) { return i == 0 ? b : (i == 1 ? g : r); }
  constexpr unsigned char operator[](int i) const { return i == 0 ? b : (i == 1 ? g : r); }

  constexpr Color24& operator+=(const Color24& c) { return *this = Color24(r + c.r, g + c.g, b + c.b); }
  constexpr Color24& operator-=(const Color24& c) { return *this = Color24(r - c.r, g - c.g, b - c.b); }
  // Each channel times or divided by f, truncated toward zero, kept as the low 8 bits.
  Color24& operator*=(float f) { return *this = Color24(scale(r, f), scale(g, f), scale(b, f)); }
  Color24& operator/=(float f) { return *this = Color24(divide(r, f), divide(g, f), divide(b, f)); }
  friend constexpr Color24 operator+(Color24 a, const Color24& c) { return a += c; }
  friend constexpr Color24 operator-(Color24 a, const Color24& c) { return a -= c; }
  friend Color24 operator*(Color24 a, float f) { return a *= f; }
  friend Color24 operator/(Color24 a, float f) { return a /= f; }
  friend constexpr bool operator==(const Color24& a, const Color24& c) { return a.r == c.r && a.g == c.g && a.b == c.b; }

  // Per channel truncate((other - this) * t + this).
  Color24 lerp(const Color24& other, float t) const {
    return Color24(mix(r, other.r, t), mix(g, other.g, t), mix(b, other.b, t));
  }

  // Truncation toward zero, then the low 8 bits (also for results outside the byte range).
  static unsigned char wrap(float v) {
    if (!(v == v) || v >= 2147483647.0f || v <= -2147483648.0f) return 0;
    return static_cast<unsigned char>(static_cast<int>(v));
  }
  static unsigned char scale(unsigned char c, float f) { return wrap(c * f); }
  static unsigned char divide(unsigned char c, float f) { return wrap(c / f); }
  static unsigned char mix(unsigned char a, unsigned char b, float t) {
    return wrap((static_cast<float>(b) - static_cast<float>(a)) * t + static_cast<float>(a));
  }
};

struct Color32 {
  unsigned char b = 0, g = 0, r = 0, a = 0;

  constexpr Color32() = default;  // transparent black
  constexpr Color32(unsigned char red, unsigned char green, unsigned char blue, unsigned char alpha = 255)
      : b(blue), g(green), r(red), a(alpha) {}
  // The packed value 0xAARRGGBB as it is.
  constexpr Color32(unsigned long value)
      : b(static_cast<unsigned char>(value)), g(static_cast<unsigned char>(value >> 8)),
        r(static_cast<unsigned char>(value >> 16)), a(static_cast<unsigned char>(value >> 24)) {}

  // The packed value 0xAARRGGBB.
  constexpr operator unsigned long() const { return value(); }
  constexpr unsigned value() const {
    return static_cast<unsigned>(b) | static_cast<unsigned>(g) << 8 | static_cast<unsigned>(r) << 16 |
           static_cast<unsigned>(a) << 24;
  }

  static constexpr int size() { return 4; }
  // Byte i in memory order (0 blue, 1 green, 2 red, 3 alpha).
  constexpr unsigned char& operator[](int i) { return i == 0 ? b : (i == 1 ? g : (i == 2 ? r : a)); }
  constexpr unsigned char operator[](int i) const { return i == 0 ? b : (i == 1 ? g : (i == 2 ? r : a)); }

  // Red, green and blue times f, truncated; alpha unchanged (darkening and fading use 0..1).
  Color32& operator*=(float f) {
    r = Color24::scale(r, f);
    g = Color24::scale(g, f);
    b = Color24::scale(b, f);
    return *this;
  }

  // Per channel (all four) truncate((other - this) * t + this).
  Color32 lerp(const Color32& other, float t) const {
    return Color32(Color24::mix(r, other.r, t), Color24::mix(g, other.g, t), Color24::mix(b, other.b, t),
                   Color24::mix(a, other.a, t));
  }
};

static_assert(sizeof(Color24) == 3 && sizeof(Color32) == 4, "colour records are packed bytes");

}  // namespace base
