// vantrose-content: writes the show's archive and module, and the resources compiled into the
// program; with --sheet, PNG files of everything for a look.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "content/archive_writer.h"
#include "content/music.h"
#include "content/resources_gen.h"
#include "content/sheet.h"
#include "content/show.h"

using namespace vantrose;

static void usage() {
    std::fprintf(stderr, "usage: vantrose-content [--out DIR] [--resources FILE] [--sheet DIR]\n");
}

int main(int argc, char** argv) {
    std::string out, resources, sheet;
    for (int i = 1; i < argc; ++i) {
        const bool has_value = i + 1 < argc;
        if (!std::strcmp(argv[i], "--out") && has_value)
            out = argv[++i];
        else if (!std::strcmp(argv[i], "--resources") && has_value)
            resources = argv[++i];
        else if (!std::strcmp(argv[i], "--sheet") && has_value)
            sheet = argv[++i];
        else {
            usage();
            return 2;
        }
    }
    if (out.empty() && resources.empty() && sheet.empty()) out = ".";
    try {
        if (!out.empty() || !sheet.empty()) {
            const std::vector<Entry> entries = build_show();
            if (!out.empty()) {
                std::vector<Bytes> data;
                for (const Entry& e : entries) data.push_back(e.data);
                std::filesystem::create_directories(out);
                write_file(out + "/vantrose.dat", build_archive(data));
                write_file(out + "/vantrose.s3m", build_module());
            }
            if (!sheet.empty()) write_sheet(sheet, entries);
        }
        if (!resources.empty() || !sheet.empty()) {
            const Resources r = build_resources();
            if (!resources.empty()) {
                const auto parent = std::filesystem::path(resources).parent_path();
                if (!parent.empty()) std::filesystem::create_directories(parent);
                const std::string text = resources_source(r);
                write_file(resources, Bytes(text.begin(), text.end()));
            }
            if (!sheet.empty()) {
                Bytes badge(110 * 25 * 3);
                for (size_t i = 0; i < r.title_badge.size(); ++i) {
                    const int v = r.title_badge[i];
                    // Transparent pixels shown dark blue, to tell them from black ink.
                    const int grey = v ? badge_level(v) * 4 : -1;
                    badge[i * 3] = uint8_t(grey < 0 ? 0 : grey);
                    badge[i * 3 + 1] = uint8_t(grey < 0 ? 0 : grey);
                    badge[i * 3 + 2] = uint8_t(grey < 0 ? 90 : grey);
                }
                write_png(sheet + "/resource-badge.png", 110, 25, badge);
                write_png(sheet + "/resource-dialog.png", 213, 133, r.dialog_picture);
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vantrose-content: %s\n", e.what());
        return 1;
    }
    return 0;
}
