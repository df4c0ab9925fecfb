// A PNG encoder small enough for test screenshots: 8-bit RGB, the image data
// in stored (uncompressed) deflate blocks.
#pragma once
#include <cstdint>
#include <vector>

std::vector<uint8_t> EncodePng(const uint8_t* rgb, int width, int height);
