// --record end to end: the real program records the first frames of the show, and ffprobe and
// ffmpeg read the file back; bad set-ups fail before the show with a message.
#include <gtest/gtest.h>

#include <png.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string bin = VANTROSE_BIN;
const std::string data = VANTROSE_DATA;

// A fresh folder for one test.
fs::path scratch(const std::string& name) {
    const fs::path dir =
        fs::temp_directory_path() / ("vantrose-record-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::string quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Outcome {
    int status = -1;
    std::string err;
};

// Runs a shell command line with stderr captured.
Outcome run_shell(const std::string& command, const fs::path& dir) {
    const fs::path err = dir / "stderr.txt";
    const int raw = std::system((command + " 2>" + quote(err.string())).c_str());
    Outcome run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.err = read_file(err);
    fs::remove(err);
    return run;
}

Outcome vantrose(const std::string& args, const fs::path& dir, const std::string& prefix = "") {
    return run_shell(prefix + quote(bin) + " --data " + quote(data) + " " + args, dir);
}

std::string output_of(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return text;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) text.append(chunk, n);
    pclose(pipe);
    return text;
}

// key=value lines of ffprobe about one stream ("v:0", "a:0").
std::map<std::string, std::string> probe(const fs::path& file, const std::string& stream) {
    const std::string text = output_of(
        "ffprobe -v error -count_packets -select_streams " + stream +
        " -show_entries stream=codec_name,profile,width,height,pix_fmt,r_frame_rate,sample_rate,"
        "channels,nb_read_packets -of default=nw=1 " +
        quote(file.string()));
    std::map<std::string, std::string> values;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

// Where a stream ends: the last packet's time plus its duration, in seconds.
double stream_end(const fs::path& file, const std::string& stream) {
    const std::string text = output_of("ffprobe -v error -select_streams " + stream +
                                       " -show_entries packet=pts_time,duration_time -of csv=p=0 " +
                                       quote(file.string()));
    double end = -1;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        double pts = 0, duration = 0;
        if (std::sscanf(line.c_str(), "%lf,%lf", &pts, &duration) == 2)
            end = std::max(end, pts + duration);
    }
    return end;
}

// Every frame of the video decoded to RGB, `width` x `height`.
std::vector<std::vector<uint8_t>> decode_frames(const fs::path& file, int width, int height) {
    std::vector<std::vector<uint8_t>> frames;
    FILE* pipe =
        popen(("ffmpeg -v error -i " + quote(file.string()) + " -an -f rawvideo -pix_fmt rgb24 -")
                  .c_str(),
              "r");
    if (!pipe) return frames;
    const size_t size = static_cast<size_t>(width) * height * 3;
    std::vector<uint8_t> frame(size);
    while (std::fread(frame.data(), 1, size, pipe) == size) frames.push_back(frame);
    pclose(pipe);
    return frames;
}

// The sound decoded to 16-bit stereo samples.
std::vector<int16_t> decode_sound(const fs::path& file) {
    const std::string bytes =
        output_of("ffmpeg -v error -i " + quote(file.string()) + " -vn -f s16le -ac 2 -ar 44100 -");
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// A dumped frame as RGB.
std::vector<uint8_t> read_png(const fs::path& path, int& width, int& height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return pixels;
}

// The headless show's frames, every `every`-th of the first `frames`.
std::map<int, std::vector<uint8_t>> headless_dump(const fs::path& dir, const std::string& args,
                                                  int frames, int every) {
    const fs::path dump = dir / "dump";
    fs::create_directories(dump);
    const Outcome run =
        vantrose("--headless " + args + " --frames " + std::to_string(frames) + " --dump " +
                     quote(dump.string()) + " --dump-every " + std::to_string(every),
                 dir);
    EXPECT_EQ(run.status, 0) << run.err;
    std::map<int, std::vector<uint8_t>> dumped;
    for (int k = 0; k < frames; k += every) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06d.png", k);
        int width = 0, height = 0;
        dumped[k] = read_png(dump / name, width, height);
        EXPECT_FALSE(dumped[k].empty()) << name;
    }
    return dumped;
}

// Nothing but the finished file (or nothing at all) is left in the folder.
std::vector<std::string> leftovers(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".part") != std::string::npos) names.push_back(name);
    }
    return names;
}

} // namespace

TEST(RecordE2E, LosslessRecordingHoldsTheHeadlessFramesAndTheSound) {
    const fs::path dir = scratch("lossless");
    const fs::path video = dir / "show.mkv";
    const Outcome run = vantrose("--record " + quote(video.string()) + " --frames 240", dir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("recorded 240 frames"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(video.string()), std::string::npos) << run.err;
    EXPECT_TRUE(leftovers(dir).empty());

    auto v = probe(video, "v:0");
    EXPECT_EQ(v["codec_name"], "h264");
    EXPECT_EQ(v["width"], "640");
    EXPECT_EQ(v["height"], "400");
    EXPECT_EQ(v["r_frame_rate"], "60/1");
    EXPECT_EQ(v["nb_read_packets"], "240");
    auto a = probe(video, "a:0");
    EXPECT_EQ(a["codec_name"], "flac");
    EXPECT_EQ(a["sample_rate"], "44100");
    EXPECT_EQ(a["channels"], "2");

    // 240 frames at 60 Hz: 4 s of picture and exactly 176,400 sample frames of sound.
    const double video_end = stream_end(video, "v:0");
    const double audio_end = stream_end(video, "a:0");
    EXPECT_NEAR(video_end, 4.0, 1.0 / 60);
    EXPECT_NEAR(audio_end, video_end, 1.0 / 60);
    const std::vector<int16_t> sound = decode_sound(video);
    EXPECT_EQ(sound.size(), 2u * 176400);
    size_t loud = 0;
    for (int16_t s : sound) loud += s != 0;
    EXPECT_GT(loud, sound.size() / 100) << "the music is missing";

    // Decoded frame k is the headless frame k, pixel for pixel.
    const auto frames = decode_frames(video, 640, 400);
    ASSERT_EQ(frames.size(), 240u);
    for (const auto& [k, dumped] : headless_dump(dir, "", 240, 40)) {
        ASSERT_EQ(dumped.size(), frames[k].size());
        EXPECT_TRUE(dumped == frames[k]) << "frame " << k << " differs from the headless dump";
    }
    fs::remove_all(dir);
}

TEST(RecordE2E, ScaleRepeatsEachPixelAndMode480KeepsTheBorders) {
    const fs::path dir = scratch("scaled");
    const fs::path video = dir / "show.mkv";
    const Outcome run = vantrose("--record " + quote(video.string()) +
                                     " --mode 480 --scale 2 --refresh 50 --frames 30",
                                 dir);
    ASSERT_EQ(run.status, 0) << run.err;
    auto v = probe(video, "v:0");
    EXPECT_EQ(v["width"], "1280");
    EXPECT_EQ(v["height"], "960");
    EXPECT_EQ(v["r_frame_rate"], "50/1");
    EXPECT_EQ(v["nb_read_packets"], "30");
    EXPECT_NEAR(stream_end(video, "a:0"), 30.0 / 50, 1.0 / 50);

    const auto frames = decode_frames(video, 1280, 960);
    ASSERT_EQ(frames.size(), 30u);
    for (const auto& [k, dumped] : headless_dump(dir, "--mode 480 --refresh 50", 30, 10)) {
        ASSERT_EQ(dumped.size(), 640u * 480 * 3);
        size_t wrong = 0;
        for (int y = 0; y < 960; ++y) {
            for (int x = 0; x < 1280; ++x) {
                for (int c = 0; c < 3; ++c) {
                    wrong += frames[k][(y * 1280 + x) * 3 + c] !=
                             dumped[((y / 2) * 640 + x / 2) * 3 + c];
                }
            }
        }
        EXPECT_EQ(wrong, 0u) << "frame " << k;
    }
    fs::remove_all(dir);
}

TEST(RecordE2E, Mp4IsFullColourH264WithAac) {
    const fs::path dir = scratch("mp4");
    const fs::path video = dir / "show.mp4";
    const Outcome run = vantrose("--record " + quote(video.string()) + " --frames 30", dir);
    ASSERT_EQ(run.status, 0) << run.err;
    auto v = probe(video, "v:0");
    EXPECT_EQ(v["codec_name"], "h264");
    EXPECT_EQ(v["pix_fmt"], "gbrp");
    EXPECT_EQ(v["r_frame_rate"], "60/1");
    EXPECT_EQ(v["nb_read_packets"], "30");
    EXPECT_EQ(probe(video, "a:0")["codec_name"], "aac");
    EXPECT_NEAR(stream_end(video, "a:0"), stream_end(video, "v:0"), 1.0 / 60 + 1024.0 / 44100);

    // Lossy but close: the decoded frame stays within a few levels of the shown one on average.
    const auto frames = decode_frames(video, 640, 400);
    ASSERT_EQ(frames.size(), 30u);
    const auto dumped = headless_dump(dir, "", 30, 29).at(29);
    ASSERT_EQ(dumped.size(), frames[29].size());
    double error = 0;
    for (size_t i = 0; i < dumped.size(); ++i) error += std::abs(dumped[i] - frames[29][i]);
    EXPECT_LT(error / dumped.size(), 3.0);
    fs::remove_all(dir);
}

// The picture and the sound reach ffmpeg through two pipes; at the extremes of the refresh rate
// a frame holds a second of sound, or a packet of sound spans dozens of frames.
TEST(RecordE2E, ExtremeRefreshRatesFinish) {
    const fs::path dir = scratch("refresh");
    for (const auto& [refresh, frames, name] :
         {std::tuple{1, 3, "slow.mkv"}, std::tuple{1000, 400, "fast.mp4"}}) {
        const fs::path video = dir / name;
        const Outcome run =
            vantrose("--record " + quote(video.string()) + " --refresh " + std::to_string(refresh) +
                         " --frames " + std::to_string(frames),
                     dir);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(probe(video, "v:0")["nb_read_packets"], std::to_string(frames)) << name;
        EXPECT_NEAR(stream_end(video, "a:0"), static_cast<double>(frames) / refresh,
                    1.0 / refresh + 2048.0 / 44100)
            << name;
    }
    fs::remove_all(dir);
}

TEST(RecordE2E, CtrlCFinishesTheFileRecordedSoFar) {
    const fs::path dir = scratch("interrupt");
    const fs::path video = dir / "show.mkv";
    const fs::path err = dir / "stderr.txt";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        FILE* out = std::freopen(err.c_str(), "w", stderr);
        (void)out;
        execl(bin.c_str(), bin.c_str(), "--data", data.c_str(), "--record", video.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    const std::string text = read_file(err);
    ASSERT_TRUE(WIFEXITED(status)) << text;
    EXPECT_EQ(WEXITSTATUS(status), 1) << text; // cut short, yet finalised
    EXPECT_TRUE(leftovers(dir).empty());

    // Whatever was presented before the quit is in the file, with its sound, playable to the end.
    const int packets = std::atoi(probe(video, "v:0")["nb_read_packets"].c_str());
    EXPECT_GE(packets, 1);
    EXPECT_NE(text.find("recorded " + std::to_string(packets) + " frames"), std::string::npos)
        << text;
    EXPECT_EQ(decode_frames(video, 640, 400).size(), static_cast<size_t>(packets));
    EXPECT_NEAR(stream_end(video, "v:0"), packets / 60.0, 1.0 / 60);
    EXPECT_NEAR(stream_end(video, "a:0"), stream_end(video, "v:0"), 1.0 / 60);
    fs::remove_all(dir);
}

TEST(RecordE2E, BadSetUpsFailBeforeTheShowWithAMessage) {
    const fs::path dir = scratch("bad");
    // No ffmpeg on PATH.
    Outcome run = vantrose("--trace --record " + quote((dir / "a.mkv").string()), dir,
                           "PATH=" + quote((dir / "empty").string()) + " ");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("ffmpeg"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("apt-get install ffmpeg"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("scene 1"), std::string::npos) << "the show started: " << run.err;

    // A folder that does not exist, a folder as the output, a kind of file not made.
    fs::create_directories(dir / "folder.mkv");
    for (const std::string& output : {(dir / "missing" / "a.mkv").string(),
                                      (dir / "folder.mkv").string(), (dir / "a.avi").string()}) {
        run = vantrose("--trace --record " + quote(output), dir);
        EXPECT_EQ(run.status, 2) << output;
        EXPECT_NE(run.err.find("cannot record to '" + output + "'"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("scene 1"), std::string::npos) << "the show started: " << run.err;
    }

    // Options that make no sense with or without --record.
    run = vantrose("--scale 2 --headless", dir);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--scale"), std::string::npos) << run.err;
    run = vantrose("--record " + quote((dir / "a.mkv").string()) + " --scale 9", dir);
    EXPECT_EQ(run.status, 2);
    run = vantrose("--record " + quote((dir / "a.mkv").string()) + " --clock real", dir);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--clock real"), std::string::npos) << run.err;

    fs::remove(dir / "folder.mkv");
    EXPECT_TRUE(fs::is_empty(dir)) << "a refused recording left files";
    fs::remove_all(dir);
}

TEST(RecordE2E, WriteFailuresMidShowEndWithAMessageAndNoFile) {
    const fs::path dir = scratch("full");
    const fs::path video = dir / "show.mkv";

    // An encoder that takes a few frames and then fails as on a full disk.
    const fs::path fake = dir / "bin";
    fs::create_directories(fake);
    {
        std::ofstream script(fake / "ffmpeg");
        script << "#!/bin/sh\nhead -c 3000000 >/dev/null\n"
                  "echo 'av_interleaved_write_frame(): No space left on device' >&2\nexit 1\n";
    }
    fs::permissions(fake / "ffmpeg", fs::perms::owner_all);
    Outcome run = vantrose("--record " + quote(video.string()) + " --frames 600", dir,
                           "PATH=" + quote(fake.string()) + ":\"$PATH\" ");
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("the recording failed: ffmpeg stopped taking frames"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("ffmpeg: av_interleaved_write_frame(): No space left on device"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(video));
    EXPECT_TRUE(leftovers(dir).empty());

    // A file size limit stands for the full disk: whichever write hits it first (ffmpeg's video
    // or the program's sound) ends the recording with the reason.
    run = vantrose("--record " + quote(video.string()) + " --frames 600", dir,
                   "trap '' XFSZ; ulimit -f 256; ");
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("the recording failed"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("File too large"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(video));
    EXPECT_TRUE(leftovers(dir).empty());
    fs::remove_all(dir);
}
