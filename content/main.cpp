// vantrose-content: writes the show's archive and module, and the resources compiled into the
// program. Stand-in until the generator proper lands: empty data and plain resources of the right
// sizes.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "content/archive_writer.h"
#include "content/music.h"

using namespace vantrose;

static void write_resources(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) throw std::runtime_error("cannot write " + path);
    std::fprintf(f, "#include \"resources/resources.h\"\nnamespace vantrose {\n");
    std::fprintf(f, "const uint8_t title_badge[title_badge_width * title_badge_height] = {");
    for (int i = 0; i < 110 * 25; ++i)
        std::fprintf(f, "%d,", (i / 110 + i % 110) % 7 == 0 ? 240 : 0);
    std::fprintf(f, "};\nconst uint8_t dialog_picture[dialog_picture_width * dialog_picture_height "
                    "* 3] = {};\n");
    std::fprintf(f, "const char* const about_credits[3] = {\"code\", \"music\", \"linux\"};\n}\n");
    std::fclose(f);
}

int main(int argc, char** argv) {
    std::string out = ".", resources;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--out") && i + 1 < argc)
            out = argv[++i];
        else if (!std::strcmp(argv[i], "--resources") && i + 1 < argc)
            resources = argv[++i];
    }
    try {
        std::filesystem::create_directories(out);
        write_file(out + "/vantrose.dat", build_archive({}));
        write_file(out + "/vantrose.s3m", build_module());
        if (!resources.empty()) write_resources(resources);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vantrose-content: %s\n", e.what());
        return 1;
    }
    return 0;
}
