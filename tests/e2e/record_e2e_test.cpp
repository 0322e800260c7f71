// --record end to end: the recorded frames are the headless ones with their sound; Ctrl+C and the
// show's end finish the file; bad set-ups and failing writes end with a message and no file.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

#include "tests/e2e/run_program.h"

using namespace vantrose::test_support;

namespace {

std::string probe(const std::string& file, const std::string& stream, const std::string& entries) {
    return shell("ffprobe -v error -count_packets -select_streams " + stream +
                 " -show_entries stream=" + entries + " -of default=nw=1 " + quote(file));
}

struct Record : ::testing::Test {
    std::string dir = scratch("record");
    void TearDown() override { fs::remove_all(dir); }
    bool no_leftovers() const {
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path().filename().string().find(".part") != std::string::npos) return false;
        return true;
    }
};

} // namespace

TEST_F(Record, LosslessRecordingHoldsTheHeadlessFramesAndTheSound) {
    const std::string video = dir + "/show.mkv";
    const RunResult run = run_program({"--record", video, "--frames", "240"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("recorded 240 frames"), std::string::npos) << run.err;
    EXPECT_TRUE(no_leftovers());
    EXPECT_EQ(probe(video, "v:0", "codec_name,width,height,r_frame_rate,nb_read_packets"),
              "codec_name=h264\nwidth=640\nheight=400\nr_frame_rate=60/1\nnb_read_packets=240\n");
    EXPECT_EQ(probe(video, "a:0", "codec_name,sample_rate,channels"),
              "codec_name=flac\nsample_rate=44100\nchannels=2\n");
    // 240 frames at 60 Hz: exactly 176,400 sample frames of sound, and the music is in them.
    const std::string sound =
        shell("ffmpeg -v error -i " + quote(video) + " -vn -f s16le -ac 2 -ar 44100 -");
    EXPECT_EQ(sound.size(), 4u * 176400);
    EXPECT_GT(std::count_if(sound.begin(), sound.end(), [](char c) { return c != 0; }),
              long(sound.size() / 100));
    // Decoded frame k is the headless frame k, pixel for pixel.
    const std::string frames =
        shell("ffmpeg -v error -i " + quote(video) + " -an -f rawvideo -pix_fmt rgb24 -");
    const size_t size = 640 * 400 * 3;
    ASSERT_EQ(frames.size(), 240 * size);
    const std::string dump = dir + "/dump";
    ASSERT_EQ(
        run_program({"--headless", "--frames", "240", "--dump", dump, "--dump-every", "40"}).status,
        0);
    for (int k = 0; k < 240; k += 40)
        EXPECT_TRUE(read_png(dump + frame_name(k)).rgb == frames.substr(k * size, size))
            << "frame " << k << " differs from the headless dump";
}

// The video to share: what browsers and phones play, the picture at its shown aspect in 1080
// lines at 60 Hz whatever the show's rate, the index before the data; --scale is the .mkv's.
TEST_F(Record, SharedVideoIsHighProfile420At1080LinesWithTheIndexFirst) {
    const std::string video = dir + "/show.mp4";
    for (const auto& [option, width] : {std::pair("--mode", "1440"), {"--square-dots", "1728"}}) {
        std::vector<std::string> args = {"--record", video, "--frames", "30", "--refresh", "70"};
        args.push_back(option);
        if (option == std::string("--mode")) args.push_back("480");
        const RunResult run = run_program(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find(std::string(width) + "x1080 at 60 Hz"), std::string::npos)
            << run.err;
        EXPECT_EQ(probe(video, "v:0",
                        "profile,width,height,pix_fmt,level,color_space,color_transfer,"
                        "color_primaries,r_frame_rate"),
                  "profile=High\nwidth=" + std::string(width) +
                      "\nheight=1080\npix_fmt=yuv420p\nlevel=42\ncolor_space=bt709\n"
                      "color_transfer=bt709\ncolor_primaries=bt709\nr_frame_rate=60/1\n");
        EXPECT_EQ(probe(video, "a:0", "codec_name"), "codec_name=aac\n");
        const std::string bytes = read_file(video);
        EXPECT_LT(bytes.find("moov"), bytes.find("mdat")) << "+faststart";
    }
    const RunResult run = run_program({"--record", dir + "/big.mp4", "--scale", "2"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--scale enlarges the lossless .mkv"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir + "/big.mp4"));
}

TEST_F(Record, CtrlCFinishesTheFileRecordedSoFar) {
    const std::string video = dir + "/show.mkv";
    Program p({"--record", video});
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    p.signal(SIGINT);
    const RunResult r = p.finish(60);
    EXPECT_EQ(r.status, 1) << r.err; // cut short, yet finalised
    EXPECT_TRUE(no_leftovers());
    const std::string packets = probe(video, "v:0", "nb_read_packets");
    ASSERT_EQ(packets.rfind("nb_read_packets=", 0), 0u) << packets;
    EXPECT_NE(r.err.find("recorded " + packets.substr(16, packets.size() - 17) + " frames"),
              std::string::npos)
        << r.err << packets;
}

TEST_F(Record, BadSetUpsAndFailingWritesEndWithAMessageAndNoFile) {
    // No ffmpeg on PATH; a folder that does not exist, a folder, a kind of file not made.
    RunResult run =
        run_program({{"--trace", "--record", dir + "/a.mkv"}, {}, {"PATH=/nonexistent"}});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("apt-get install ffmpeg"), std::string::npos) << run.err;
    fs::create_directories(dir + "/folder.mkv");
    for (const std::string& output :
         {dir + "/missing/a.mkv", dir + "/folder.mkv", dir + "/a.avi"}) {
        run = run_program({"--trace", "--record", output});
        EXPECT_EQ(run.status, 2) << output;
        EXPECT_NE(run.err.find("cannot record to '" + output + "'"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("scene 1"), std::string::npos) << "the show started: " << run.err;
    }
    fs::remove(dir + "/folder.mkv");
    EXPECT_TRUE(fs::is_empty(dir)) << "a refused recording left files";

    // A file size limit stands for a full disk: the recording ends with the reason, no file.
    const std::string video = dir + "/show.mkv";
    run = run_program({{"--record", video, "--frames", "600"}, {}, {}, "", 128 * 1024});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("the recording failed"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("File too large"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(video));
    EXPECT_TRUE(no_leftovers());
}

// The show's own end, from a folder without data (the program finds the build's beside it); the
// last scene alone, the ones before run unseen.
TEST_F(Record, ACompleteRecordingEndsWithStatusZero) {
    const RunResult run = run_program({{"--record", "show.mkv", "--scene", "42"}, {}, {}, dir});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("recorded 64 frames"), std::string::npos) << "all of scene 42";
    EXPECT_TRUE(fs::exists(dir + "/show.mkv"));
}
