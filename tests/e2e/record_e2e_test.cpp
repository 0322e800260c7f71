// --record end to end: the recorded frames are the headless frames with their sound; Ctrl+C
// finishes the file; bad set-ups and failing writes end with a message and no file.
#include <gtest/gtest.h>
#include <png.h>

#include <csignal>
#include <cstring>
#include <filesystem>

#include "tests/e2e/run_program.h"

using namespace vantrose::test_support;
namespace fs = std::filesystem;

namespace {

std::string quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string output_of(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    char chunk[65536];
    for (size_t n; pipe && (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        text.append(chunk, n);
    if (pipe) pclose(pipe);
    return text;
}

// The program through the shell (for PATH and ulimit), its status and stderr.
RunResult run_shell(const std::string& args, const std::string& prefix = "") {
    const std::string err =
        fs::temp_directory_path() / ("vantrose-record-" + std::to_string(getpid()) + ".err");
    const int raw = std::system((prefix + quote(VANTROSE_BIN) + " --data " + quote(VANTROSE_DATA) +
                                 " " + args + " 2>" + quote(err))
                                    .c_str());
    RunResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.err = read_file(err);
    fs::remove(err);
    return r;
}

std::string probe(const std::string& file, const std::string& stream, const std::string& entries) {
    return output_of("ffprobe -v error -count_packets -select_streams " + stream +
                     " -show_entries stream=" + entries + " -of default=nw=1 " + quote(file));
}

bool no_leftovers(const fs::path& dir) {
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().find(".part") != std::string::npos) return false;
    return true;
}

struct Record : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("vantrose-record-" + std::to_string(getpid()));
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
};

} // namespace

TEST_F(Record, LosslessRecordingHoldsTheHeadlessFramesAndTheSound) {
    const std::string video = (dir / "show.mkv").string();
    const RunResult run = run_shell("--record " + quote(video) + " --frames 240");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("recorded 240 frames"), std::string::npos) << run.err;
    EXPECT_TRUE(no_leftovers(dir));
    EXPECT_EQ(probe(video, "v:0", "codec_name,width,height,r_frame_rate,nb_read_packets"),
              "codec_name=h264\nwidth=640\nheight=400\nr_frame_rate=60/1\nnb_read_packets=240\n");
    EXPECT_EQ(probe(video, "a:0", "codec_name,sample_rate,channels"),
              "codec_name=flac\nsample_rate=44100\nchannels=2\n");
    // 240 frames at 60 Hz: exactly 176,400 sample frames of sound, and the music is in them.
    const std::string sound =
        output_of("ffmpeg -v error -i " + quote(video) + " -vn -f s16le -ac 2 -ar 44100 -");
    EXPECT_EQ(sound.size(), 4u * 176400);
    EXPECT_GT(std::count_if(sound.begin(), sound.end(), [](char c) { return c != 0; }),
              long(sound.size() / 100));
    // Decoded frame k is the headless frame k, pixel for pixel.
    const std::string frames =
        output_of("ffmpeg -v error -i " + quote(video) + " -an -f rawvideo -pix_fmt rgb24 -");
    const size_t size = 640 * 400 * 3;
    ASSERT_EQ(frames.size(), 240 * size);
    const std::string dump = (dir / "dump").string();
    ASSERT_EQ(
        run_shell("--headless --frames 240 --dump " + quote(dump) + " --dump-every 40").status, 0);
    for (int k = 0; k < 240; k += 40) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06d.png", k);
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_file(&image, (dump + name).c_str())) << name;
        image.format = PNG_FORMAT_RGB;
        std::string pixels(PNG_IMAGE_SIZE(image), '\0');
        png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
        EXPECT_TRUE(pixels == frames.substr(k * size, size))
            << "frame " << k << " differs from the headless dump";
    }
}

TEST_F(Record, CtrlCFinishesTheFileRecordedSoFar) {
    const std::string video = (dir / "show.mkv").string();
    Program p({"--data", VANTROSE_DATA, "--record", video});
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    p.signal(SIGINT);
    const RunResult r = p.finish(60);
    EXPECT_EQ(r.status, 1) << r.err; // cut short, yet finalised
    EXPECT_TRUE(no_leftovers(dir));
    const std::string packets = probe(video, "v:0", "nb_read_packets");
    ASSERT_EQ(packets.rfind("nb_read_packets=", 0), 0u) << packets;
    EXPECT_NE(r.err.find("recorded " + packets.substr(16, packets.size() - 17) + " frames"),
              std::string::npos)
        << r.err << packets;
}

TEST_F(Record, BadSetUpsAndFailingWritesEndWithAMessageAndNoFile) {
    // No ffmpeg on PATH; a folder that does not exist, a folder, a kind of file not made.
    RunResult run =
        run_shell("--trace --record " + quote((dir / "a.mkv").string()), "PATH=/nonexistent ");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("apt-get install ffmpeg"), std::string::npos) << run.err;
    fs::create_directories(dir / "folder.mkv");
    for (const std::string& output : {(dir / "missing" / "a.mkv").string(),
                                      (dir / "folder.mkv").string(), (dir / "a.avi").string()}) {
        run = run_shell("--trace --record " + quote(output));
        EXPECT_EQ(run.status, 2) << output;
        EXPECT_NE(run.err.find("cannot record to '" + output + "'"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("scene 1"), std::string::npos) << "the show started: " << run.err;
    }
    fs::remove(dir / "folder.mkv");
    EXPECT_TRUE(fs::is_empty(dir)) << "a refused recording left files";

    // A file size limit stands for a full disk: the recording ends with the reason, no file.
    const std::string video = (dir / "show.mkv").string();
    run = run_shell("--record " + quote(video) + " --frames 600", "trap '' XFSZ; ulimit -f 256; ");
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("the recording failed"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("File too large"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(video));
    EXPECT_TRUE(no_leftovers(dir));
}
