#include "content/sheet.h"

#include <png.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace vantrose {
namespace {

Bytes through(const Bytes& indices, const Bytes& palette) {
    Bytes rgb(indices.size() * 3);
    for (size_t i = 0; i < indices.size(); ++i)
        for (int k = 0; k < 3; ++k)
            rgb[i * 3 + size_t(k)] =
                uint8_t((palette[size_t(indices[i]) * 3 + size_t(k)] & 63) * 255 / 63);
    return rgb;
}

std::string file_name(int index, const std::string& name) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%02d-", index);
    std::string out = prefix;
    for (char c : name) out += c == ' ' ? '-' : c;
    return out + ".png";
}

uint16_t map_at(const Bytes& map, int p) {
    return uint16_t(map[size_t(p) * 2] | map[size_t(p) * 2 + 1] << 8);
}

// A map shown through a texture: each pixel takes the texel its entry names.
Indexed through_map(const Bytes& map, const Bytes& texture, int du, int dv) {
    Indexed out(320, 200);
    for (int p = 0; p < 64000; ++p) {
        const uint16_t e = map_at(map, p);
        out.px[size_t(p)] = texture[size_t(uint8_t((e >> 8) + dv)) * 256 + uint8_t((e & 255) + du)];
    }
    return out;
}

// The plasma texture as the first plasma builds it, for a look at the cycled palettes.
Bytes plasma_texture(int frame) {
    uint8_t ramp[256], row[256];
    for (int i = 0; i < 256; ++i) {
        const int j = i / 2;
        ramp[i] = uint8_t(j < 32 ? 33 + j : (j < 96 ? 95 - j : j - 95));
    }
    uint8_t p1 = uint8_t(-4 * frame), p2 = uint8_t(5 * frame), p3 = uint8_t(5 * frame),
            p4 = uint8_t(-3 * frame);
    for (int n = 0; n < 256; ++n) {
        p1 = uint8_t(p1 + 6), p2 = uint8_t(p2 - 3), p3 = uint8_t(p3 - 5), p4 = uint8_t(p4 + 3);
        row[(256 - n) & 255] = uint8_t(ramp[p3] + ramp[p1] + ramp[p2] + ramp[p4]);
    }
    Bytes tex(65536);
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c)
            tex[size_t(r) * 256 + size_t(c)] = uint8_t((row[255 - r] + row[255 - c]) / 2);
    return tex;
}

// One layer of a rotozoom drawn as the effects draw it (8.8 steps on a 160 x 100 grid).
void rotozoom_layer(const Bytes& tex, Indexed& frame, int angle, int zoom, int base, bool skip) {
    const double a = 2 * 3.14159265358979 * angle / 256.0;
    const int c = int(std::lround(256 * std::cos(a))), s = int(std::lround(256 * std::sin(a)));
    const int cy = int(std::lround(307.2 * std::cos(a))),
              nsy = int(std::lround(-307.2 * std::sin(a)));
    const int du_dx = (c * zoom) >> 8, dv_dx = (s * zoom) >> 8;
    const int du_dy = (nsy * zoom) >> 8, dv_dy = (cy * zoom) >> 8;
    const int us = base - 80 * du_dx - 50 * du_dy, vs = base - 80 * dv_dx - 50 * dv_dy;
    for (int j = 0; j < 100; ++j)
        for (int i = 0; i < 160; ++i) {
            const uint16_t u = uint16_t(us + j * du_dy + (i + 1) * du_dx);
            const uint16_t v = uint16_t(vs + j * dv_dy + (i + 1) * dv_dx);
            const uint8_t t = tex[size_t(v >> 8) * 256 + (u >> 8)];
            if (skip && t == 0) continue;
            for (int k = 0; k < 4; ++k) frame.at(2 * i + (k & 1), 2 * j + (k >> 1)) = t;
        }
}

Indexed layered(const Bytes& tex, int step) {
    Indexed f(320, 200);
    static const int zooms[5] = {2750, 2200, 1650, 1100, 550};
    for (int l = 0; l < 5; ++l)
        rotozoom_layer(tex, f, 16 * l + step, zooms[l] - 55 * step, 0, l > 0);
    return f;
}

// Where index 0 of the layer lets the picture beneath show, as the keyed transfer does.
Bytes over(const Indexed& top, const Bytes& top_pal, const Bytes& below, const Bytes& below_pal) {
    Bytes a = through(top.px, top_pal), b = through(below, below_pal);
    for (size_t i = 0; i < top.px.size(); ++i)
        if (top.px[i] == 0)
            for (int k = 0; k < 3; ++k) a[i * 3 + size_t(k)] = b[i * 3 + size_t(k)];
    return a;
}

// What the blending transfers settle to with a layer keyed over a picture blended on top:
// (3 x layer + 4 x picture) / 7 where the layer has ink, the picture alone elsewhere.
Bytes settled(const Indexed& layer, const Bytes& layer_pal, const Bytes& picture,
              const Bytes& picture_pal) {
    Bytes a = through(layer.px, layer_pal), b = through(picture, picture_pal);
    for (size_t i = 0; i < layer.px.size(); ++i)
        if (layer.px[i] != 0)
            for (int k = 0; k < 3; ++k)
                b[i * 3 + size_t(k)] =
                    uint8_t((3 * a[i * 3 + size_t(k)] + 4 * b[i * 3 + size_t(k)]) / 7);
    return b;
}

} // namespace

void write_png(const std::string& path, int w, int h, const Bytes& rgb) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        throw std::runtime_error("cannot encode " + path);
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; ++y) png_write_row(png, rgb.data() + size_t(y) * size_t(w) * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

void write_indexed_png(const std::string& path, const Indexed& picture, const Bytes& palette) {
    write_png(path, picture.w, picture.h, through(picture.px, palette));
}

void write_sheet(const std::string& dir, const std::vector<Entry>& e) {
    std::filesystem::create_directories(dir);
    for (int i = 0; i < int(e.size()); ++i) {
        const Entry& en = e[size_t(i)];
        const std::string path = dir + "/" + file_name(i, en.name);
        if (en.kind == Kind::palette) {
            Indexed swatch(128, 128);
            for (int y = 0; y < 128; ++y)
                for (int x = 0; x < 128; ++x) swatch.at(x, y) = uint8_t((y / 8) * 16 + x / 8);
            write_indexed_png(path, swatch, en.data);
        } else if (en.kind == Kind::picture) {
            Indexed pic(en.w, en.h);
            pic.px.assign(en.data.begin(), en.data.begin() + long(en.w) * en.h);
            write_indexed_png(path, pic, e[size_t(en.palette)].data);
        } else if (en.kind == Kind::map) {
            Bytes rgb(320 * 200 * 3);
            for (int p = 0; p < 64000; ++p) {
                rgb[size_t(p) * 3] = en.data[size_t(p) * 2];
                rgb[size_t(p) * 3 + 1] = en.data[size_t(p) * 2 + 1];
            }
            write_png(path, 320, 200, rgb);
        } else {
            Bytes rgb(320 * 200 * 3);
            for (int p = 0; p < 64000 * 3; ++p) rgb[size_t(p)] = en.data[size_t(p / 3)];
            write_png(path, 320, 200, rgb);
        }
    }
    // How the effects will show them.
    auto pv = [&](const std::string& name, const Indexed& pic, int pal) {
        write_indexed_png(dir + "/preview-" + name + ".png", pic, e[size_t(pal)].data);
    };
    pv("tunnel-marble", through_map(e[24].data, e[38].data, 0, 40), 26);
    pv("floor-tiles", through_map(e[35].data, e[36].data, 0, 0), 37);
    pv("floor-flutes", through_map(e[35].data, e[41].data, 0, 0), 42);
    const Bytes plasma = plasma_texture(30);
    pv("plasma-flame", through_map(e[24].data, plasma, 0, 0), 23);
    pv("plasma-ice", through_map(e[24].data, plasma, 20, 0), 25);
    Indexed disp(320, 200);
    for (int p = 0; p < 64000; ++p) {
        const uint16_t m = map_at(e[24].data, p);
        disp.px[size_t(p)] = uint8_t((m & 255) + plasma[m]);
    }
    pv("plasma-violet", disp, 49);
    Indexed ripple(320, 200);
    for (int p = 0; p < 64000; ++p) {
        const int r = (e[31].data[size_t(p)] + 10) & 63;
        const int amp = 3 + (r < 32 ? r : 63 - r);
        const int s = int8_t(e[32].data[64000 + size_t((e[32].data[size_t(p)] - 300) & 1023)]);
        ripple.px[size_t(p)] = uint8_t(e[33].data[size_t(p)] - ((s * amp) >> 8));
    }
    pv("ripple", ripple, 34);
    for (int step : {0, 5}) {
        const std::string n = std::to_string(step);
        write_png(dir + "/preview-layers1-" + n + ".png", 320, 200,
                  over(layered(e[2].data, step), e[3].data, e[4].data, e[5].data));
        pv("layers2-" + n, layered(e[8].data, step), 9);
    }
    write_png(dir + "/preview-layers2-card.png", 320, 200,
              settled(layered(e[8].data, 3), e[9].data, e[10].data, e[11].data));
    for (int angle : {0, 24, 48, 58}) {
        Indexed f(320, 200);
        const int zoom = int(std::lround(256 * std::cos(2 * 3.14159265358979 * angle / 256.0)));
        rotozoom_layer(e[16].data, f, angle, zoom, 32768, false);
        pv("pulse-" + std::to_string(angle), f, 17);
    }
}

} // namespace vantrose
