// Where each glyph of the scroller font lies in its band: left column and width.
// Shared by the scroller and by the generator that draws the font picture.
#pragma once
#include <cstdint>

namespace vantrose {

struct Glyph {
    uint16_t x;
    uint16_t width;
};

constexpr int glyph_rows = 31;
constexpr int band_row_lower = 0;
constexpr int band_row_upper = 40;
constexpr int band_row_digits = 75;
constexpr int space_width = 5;
// The signs of the digit band, after '0'..'9', in glyph order.
constexpr char digit_band_signs[] = "!?:.,+-/";

constexpr Glyph glyphs_lower[26] = {
    {0, 12},   {12, 13},  {25, 12},  {37, 13},  {50, 13},  {63, 8},   {71, 12},
    {83, 13},  {96, 6},   {102, 8},  {110, 13}, {123, 6},  {129, 19}, {148, 12},
    {160, 13}, {173, 12}, {185, 13}, {198, 9},  {207, 11}, {218, 8},  {227, 13},
    {240, 12}, {252, 18}, {270, 13}, {283, 12}, {295, 12}};

constexpr Glyph glyphs_upper[26] = {
    {0, 13},   {13, 12},  {25, 12},  {37, 13},  {50, 11},  {61, 9},   {70, 13},
    {83, 13},  {96, 6},   {102, 10}, {112, 13}, {125, 10}, {135, 14}, {149, 12},
    {161, 13}, {174, 11}, {185, 12}, {197, 12}, {209, 11}, {220, 11}, {231, 12},
    {243, 12}, {255, 16}, {271, 13}, {284, 12}, {296, 12}};

constexpr Glyph glyphs_digits[18] = {{0, 13},  {13, 9},  {22, 12}, {34, 11},  {45, 12}, {57, 12},
                                     {69, 12}, {81, 12}, {93, 12}, {105, 12}, {117, 6}, {123, 12},
                                     {135, 6}, {141, 5}, {146, 7}, {153, 11}, {164, 6}, {170, 12}};

} // namespace vantrose
