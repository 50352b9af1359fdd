// zq-filter on bad input, hostile files, signals and limits: one line on standard error naming
// the problem, the exit status of its kind (never death by a signal it could have survived),
// and no file in INPUT's directory written, changed or left behind, an existing OUTPUT
// included.
#include "tool_test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <map>

namespace zq_tool_test {
namespace {

// 256 bytes: one more than a file name may have.
const std::string k_long_name_text = std::string(252, 'n') + ".wav";
const char* const k_long_name = k_long_name_text.c_str();

// A float WAV whose header states `channels`, `rate` and a data size of `frames` frames,
// followed by `samples` whatever the header says.
std::string float_wav(uint32_t channels, uint32_t rate, uint32_t frames,
                      const std::vector<float>& samples = std::vector<float>(64, 0.25f)) {
    using zq_test::little_endian;
    const uint32_t data = frames * channels * 4;
    const std::string format = little_endian(3, 2) + little_endian(channels, 2) + // IEEE float
                               little_endian(rate, 4) + little_endian(rate * channels * 4, 4) +
                               little_endian(channels * 4, 2) + little_endian(32, 2);
    return "RIFF" + little_endian(36 + data, 4) + "WAVEfmt " + little_endian(16, 4) + format +
           "data" + little_endian(data, 4) +
           std::string(reinterpret_cast<const char*>(samples.data()),
                       samples.size() * sizeof(float));
}

struct failure_case {
    const char* options;
    int status;
    const char* message;
    const char* input = "in.wav"; // both in the scratch directory
    const char* output = "out.wav";
};

const failure_case k_failures[] = {
    {"", 2, "absent.wav\": No such file", "absent.wav"},
    {"", 2, "notes.wav\" is not audio", "notes.wav"},
    {"--set hPass=0.5", 1, "\"hPass\" = 0.5 is not a whole number"},
    {"--set hfrequency=300", 1, "unknown setting \"hfrequency\""},
    {"--lowpass 4x", 1, "--lowpass 4x: \"4x\" is not a frequency"},
    // Answered in the unit the user typed, although the component reads kHz.
    {"--exact --lowpass 20000", 1,
     "--lowpass 20000: 20000 Hz is outside 200 .. 19845 Hz for a 44100 Hz stream; drop --exact "
     "for the Butterworth design",
     "in44.wav"},
    {"--exact --lowpass 20kHz", 1, "--lowpass 20kHz: 20 kHz is outside 0.2 .. 19.845 kHz",
     "in44.wav"},
    {"--lowpass 22kHz", 1, "--lowpass 22kHz: 22 kHz is outside 0.01 .. 21.609 kHz", "in44.wav"},
    {"--set hPass=1 --set hFrequency=20", 1,
     "is outside 50 .. 21600 for a 48000 Hz stream; give --highpass/--lowpass without --set"},
    // Contradictions.
    {"--exact --precise", 1, "--exact and --precise name different designs"},
    {"--set hPass=1 --precise", 1, "--set gives the component's settings"},
    // Refused before the component is loaded: the module named does not exist.
    {"--exact --highpass 15000 --module absent.so", 1, "drop --exact for the Butterworth design"},
    {"--exact --order 2", 1, "--order sets the Butterworth design's order; --exact runs"},
    {"--highpas 300", 1, "unknown option --highpas; did you mean --highpass?"},
    {"--gain 200", 1, "--gain 200: give decibels from -120 to 120"},
    {"", 1, "the same file", "in.wav", "link.wav"},
    {"", 1, "the same file", "in.wav", "- >> in.wav"},
    {"", 3, "cannot write OUTPUT", "in.wav", "absent/out.wav"},
    {"--mix 3", 1,
     "cannot mix 2 channels to 3 channels; from 2 channels the supported layouts are: mono (1), "
     "5.0 (5), 5.1 (6), 7.1 (8)"},
    {"--mix stereo --route 0:0", 1, "--mix excludes --route"},
    {"--mix mono --mix-matrix library", 1,
     "from 5 channels the supported layouts are: stereo (2); the standard down-mix "
     "(--mix-matrix standard) would take it",
     "5ch.wav"},
    {"--route 0:0,0-1", 1, "--route 0:0,0-1: \"0-1\" is not IN:OUT"},
    {"--route 0:8", 1, "\"0:8\" names channel 8; the routing map is 8 x 8"},
    {"--route 2:0", 1, "--route 2:0: INPUT has no channel 2 (its channels are 0 .. 1)"},
    // Defaults are held to the bounds like values given: 4 kHz is above 0.45 x 8 kHz.
    {"--set lPass=1", 1, "the low-pass cut-off 4000 Hz is outside 200 Hz .. 3600 Hz", "in8k.wav"},
    {"--highpass 1e-320", 1, "is outside 10 .. 23520"},
    {"--highpass 1e999", 1, "\"1e999\" is not a finite number"},
    // Equal edges, as typed, whatever binary rounding makes of them.
    {"--highpass 300 --lowpass 300", 1, "the band is inverted"},
    {"--exact --highpass 300 --lowpass 0.3k", 1, "the band is inverted"},
    {"--frames abc", 1, "--frames: \"abc\" is not a whole number"},
    {"--frames 0", 1, "--frames: Value 0 not in range"},
    {"", 3, "its name is 256 bytes long", "in.wav", k_long_name},
    {"", 2, "nan.wav\" holds a NaN sample at frame 3, channel 1; nothing was written", "nan.wav"},
    {"", 2, "inf.wav\" holds an infinite sample at frame 0, channel 0", "inf.wav"},
    {"--bitrate 128", 1, "--bitrate applies to MP3, Opus and Vorbis OUTPUTs only", "in.wav",
     "out.flac"},
    {"--bitrate 8", 1, "--bitrate 8: at 48000 Hz with 2 channels this codec takes 32 .. 320 kb/s",
     "in.wav", "out.mp3"},
    // Hostile files.
    {"", 2, "is not audio (Format not recognised.)", "empty.wav"},
    {"", 2, "No 'data' chunk", "no-data.wav"},
    {"", 2, "is not audio (Channel count is zero.)", "0ch.wav"},
    {"--exact", 2,
     "INPUT has 11 channels; the component (--exact, --set) takes 1 to 10; leave both out for "
     "the default filter, which takes up to 1024",
     "11ch.wav"},
    {"", 1, "OGG (OGG Container format) file cannot hold 256 channels of Vorbis", "256ch.wav",
     "out.ogg"},
    {"", 2, "is not audio (Too many channels specified.)", "1025ch.wav"},
    {"", 2, "is not audio", "0hz.wav"},
    {"", 2, "is not audio", "4294967295hz.wav"},
    {"--exact --lowpass 4000", 1, "4000 Hz is outside 200 .. 0.45 Hz for a 1 Hz stream", "1hz.wav"},
    // libsndfile counts only the frames a file holds; the header tells what it should. Which
    // containers are told cut is the file layer's test; this is --strict's refusal.
    {"--strict", 2, "beyond.wav\" is truncated: its header declares 100000 frames, it holds 64",
     "beyond.wav"},
};

// `count` samples of 0.25 but one.
std::vector<float> but(std::size_t at, float value, std::size_t count = 20) {
    std::vector<float> samples(count, 0.25f);
    samples[at] = value;
    return samples;
}

// Inputs beside in.wav: headers that lie, counts and rates at the edges, and non-finite samples.
const std::map<std::string, std::string> k_files = {
    {"notes.wav", "not audio\n"},
    {"in44.wav", float_wav(1, 44100, 64)},
    {"in8k.wav", float_wav(1, 8000, 64)},
    {"nan.wav", float_wav(2, 48000, 10, but(7, std::nanf("")))},
    {"inf.wav", float_wav(2, 48000, 10, but(0, -std::numeric_limits<float>::infinity()))},
    {"empty.wav", ""},
    {"no-data.wav", float_wav(1, 48000, 0).substr(0, 36)},
    {"0ch.wav", float_wav(0, 48000, 16)},
    {"5ch.wav", float_wav(5, 48000, 4, std::vector<float>(20))},
    {"11ch.wav", float_wav(11, 48000, 4, std::vector<float>(44))},
    {"256ch.wav", float_wav(256, 48000, 1, std::vector<float>(256))},
    {"1025ch.wav", float_wav(1025, 48000, 1)},
    {"0hz.wav", float_wav(1, 0, 16)},
    {"1hz.wav", float_wav(1, 1, 64)},
    {"4294967295hz.wav", float_wav(1, 0xFFFFFFFF, 64)},
    {"beyond.wav", float_wav(1, 48000, 100000)},
    // Accepted: no length declared, a streaming writer's "unknown", a partial last frame.
    {"no-frames.wav", float_wav(1, 48000, 0, {})},
    {"4gib.wav", float_wav(2, 48000, 0x1FFFFFFF)},
    {"partial-frame.wav", float_wav(3, 48000, 21)},
    {"2147483647hz.wav", float_wav(1, 0x7FFFFFFF, 64)},
};

// Accepted inputs, even under --strict: headers that declare no length, whole files, and MP3s,
// whose frame count is only an estimate (sox's is off for a whole file).
const char* const k_accepted[] = {"no-frames.wav", "4gib.wav",         "partial-frame.wav",
                                  "1hz.wav",       "2147483647hz.wav", "cut.mp3",
                                  "sox.mp3"};

// Every file in `directory` by name, with its bytes.
std::map<std::string, std::string> contents(const fs::path& directory) {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory))
        files[entry.path().filename().string()] = file_bytes(entry.path());
    return files;
}

// An MP3 whose header declares 5 s at 48 kHz, cut to its first fifth.
void write_truncated_mp3(const fs::path& path) {
    write_sound(path,
                {1, 48000, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, std::vector<float>(240000)});
    const std::string whole = file_bytes(path);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << whole.substr(0, whole.size() / 5);
}

// Bad command lines and hostile files.
TEST(ZqFilter, RefusesBadInputInOneLineAndWritesNothing) {
    const scratch_space scratch;
    write_sound(scratch.in, test_signal(2, 48000, 1000));
    write_truncated_mp3(scratch.work / "cut.mp3");
    ASSERT_EQ(scratch.shell("sox -n -r 44100 -c 2 sox.mp3 synth 20 whitenoise vol 0.5").status, 0);
    fs::create_symlink("in.wav", scratch.work / "link.wav");
    for (const auto& [name, bytes] : k_files)
        std::ofstream(scratch.work / name, std::ios::binary) << bytes;
    for (const bool earlier_output : {false, true}) {
        if (earlier_output) std::ofstream(scratch.out) << "an earlier result\n";
        for (const failure_case& each : k_failures) {
            SCOPED_TRACE(std::string(each.options) + " " + each.input + " " + each.output);
            const std::map<std::string, std::string> before = contents(scratch.work);
            const run_result result = scratch.shell(std::string("zq-filter ") + each.options + " " +
                                                    each.input + " " + each.output);
            EXPECT_EQ(result.status, each.status) << result.err;
            const std::string said = notes(result.err);
            EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << result.err;
            EXPECT_EQ(said.rfind("zq-filter: error: ", 0), 0u) << result.err;
            EXPECT_NE(said.find(each.message), std::string::npos) << result.err;
            EXPECT_TRUE(contents(scratch.work) == before);
        }
    }
    for (const std::string input : k_accepted) {
        SCOPED_TRACE(input);
        const std::size_t files = contents(scratch.work).size();
        const run_result result =
            scratch.shell("zq-filter -q --strict --format float " + input + " out.wav");
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err.find("warning"), std::string::npos) << result.err;
        EXPECT_EQ(contents(scratch.work).size(), files) << "a file left behind";
        for (const float sample : read_sound(scratch.out).samples)
            ASSERT_TRUE(std::isfinite(sample));
    }
}

struct output_kind {
    const char* name;
    std::function<bool(const fs::path& work)> make; // false: not possible here, skipped
    std::string command;                            // run in the scratch directory
    int status;
    std::function<void(const fs::path& work, const std::string& err)> check;
};

void expect_audio(const fs::path& path) {
    EXPECT_EQ(read_sound(path).samples.size(), 2000u) << path;
}

// A copy of the null device as OUTPUT (only root can make one), and the header of a mono 8-bit
// WAV of unknown length whose samples, made doubles, pass 4 GiB after 512 Mi frames.
bool make_null_output_and_u8_header(const fs::path& work) {
    if (mknod((work / "null.wav").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) return false;
    std::string header = "RIFF\xff\xff\xff\xffWAVEfmt ";
    const unsigned char format[] = {16, 0, 0,    0,    1, 0, 1, 0, 0x80, 0xbb,
                                    0,  0, 0x80, 0xbb, 0, 0, 1, 0, 8,    0};
    header.append(reinterpret_cast<const char*>(format), sizeof format);
    std::ofstream(work / "u8.head", std::ios::binary) << header << "data\xff\xff\xff\xff";
    return true;
}

// A mono float W64 whose data passes 4 GiB, holes but for its header.
bool write_sparse_w64(const fs::path& path) {
    write_sound(path, {1, 48000, SF_FORMAT_W64 | SF_FORMAT_FLOAT, std::vector<float>(16)});
    std::string bytes = file_bytes(path);
    const uint64_t frames = (uint64_t{4400} << 20) / 4;
    const std::size_t data = bytes.find("data");
    bytes.replace(16, 8, zq_test::little_endian(data + 24 + frames * 4, 8));
    bytes.replace(bytes.find("fact") + 24, 8, zq_test::little_endian(frames, 8));
    bytes.replace(data + 16, 8, zq_test::little_endian(24 + frames * 4, 8));
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes.substr(0, data + 24);
    return truncate(path.c_str(), static_cast<off_t>(data + 24 + frames * 4)) == 0;
}

const output_kind k_output_kinds[] = {
    {"a FIFO", [](const fs::path& work) { return mkfifo((work / "fifo.wav").c_str(), 0666) == 0; },
     "{ cat fifo.wav > ../got.wav & } && zq-filter -q in.wav fifo.wav; wait", 0,
     [](const fs::path& work, const std::string&) {
         EXPECT_TRUE(fs::is_fifo(work / "fifo.wav"));
         expect_audio(work.parent_path() / "got.wav");
     }},
    // Stopped by the file size limit once the note is out.
    {"a .wav past 4 GiB", [](const fs::path& work) { return write_sparse_w64(work / "big.w64"); },
     "ulimit -f 64; zq-filter big.w64 big.wav", 3,
     [](const fs::path& work, const std::string& err) {
         EXPECT_NE(err.find("OUTPUT is RF64: its data passes the 4 GiB"), std::string::npos);
         fs::remove(work / "big.w64");
     }},
    // INPUT's length unknown: refused as the data reaches 4 GiB, the device left a device.
    {"a .wav of unknown length reaching 4 GiB", make_null_output_and_u8_header,
     "cat u8.head <(head -c 600M /dev/zero) | zq-filter -q --format double - null.wav", 3,
     [](const fs::path& work, const std::string& err) {
         EXPECT_NE(err.find("would pass the 4 GiB a WAV file can hold"), std::string::npos);
         EXPECT_TRUE(fs::is_character_file(work / "null.wav"));
     }},
    // As cp, root replaces it.
    {"write-protected, root's run",
     [](const fs::path& work) {
         std::ofstream(work / "root.wav") << "an earlier result\n";
         fs::permissions(work / "root.wav", fs::perms(0444));
         return geteuid() == 0;
     },
     "zq-filter -q in.wav root.wav", 0,
     [](const fs::path& work, const std::string&) {
         expect_audio(work / "root.wav");
         EXPECT_EQ(fs::status(work / "root.wav").permissions(), fs::perms(0444));
     }},
};

// A FIFO as OUTPUT is written into, a write-protected file replaced by root; none of it leaves
// a temporary file behind. The file layer's other kinds of OUTPUT (a device, a dangling link, a
// file another user may not write, a stale temporary file) are tested through
// zqaudio.filter_file.
TEST(ZqFilter, WritesIntoWhatOutputIsAndLeavesNothingElse) {
    const scratch_space scratch;
    write_sound(scratch.in, test_signal(2, 48000, 1000));
    for (const output_kind& each : k_output_kinds) {
        SCOPED_TRACE(each.name);
        if (!each.make(scratch.work)) {
            std::cout << "[  SKIPPED ] " << each.name << ": not possible here\n";
            continue;
        }
        const run_result result = scratch.shell(each.command);
        EXPECT_EQ(result.status, each.status) << result.err;
        each.check(scratch.work, result.err);
        for (const fs::directory_entry& entry : fs::directory_iterator(scratch.work))
            EXPECT_NE(entry.path().filename().string().find(".zq-"), 1u) << entry.path();
    }
}

// Waits up to five seconds for `condition`.
bool appears(const std::function<bool()>& condition) {
    for (int tries = 0; tries < 500; ++tries, usleep(10000))
        if (condition()) return true;
    return false;
}

struct stop_case {
    const char* name;
    int status;
    const char* message;
    int signal_number;                // sent while zq-filter waits on its input, or 0
    scratch_space::child_setup setup; // limits and descriptors of the run
    const char* options = "";
    const char* output = nullptr; // "-" for standard output; OUTPUT in the scratch directory
};

void limit(int resource, rlim_t value) {
    const rlimit both{value, value};
    setrlimit(resource, &both);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool k_address_space_limitable = false; // the sanitizer reserves terabytes up front
#else
constexpr bool k_address_space_limitable = true;
#endif

const stop_case k_stops[] = {
    {"SIGINT", 128 + SIGINT, "zq-filter: interrupted; OUTPUT was not written", SIGINT, {}},
    {"SIGTERM", 128 + SIGTERM, "zq-filter: interrupted; OUTPUT was not written", SIGTERM, {}},
    {"SIGKILL", 128 + SIGKILL, "", SIGKILL, {}},
    {"SIGPIPE: OUTPUT - a pipe nobody reads", 3, "cannot write to standard output: Broken pipe", 0,
     [] {
         int ends[2];
         if (pipe(ends) == 0) dup2(ends[1], STDOUT_FILENO), close(ends[0]);
     },
     "", "-"},
    // The limit holds for standard error too, so it leaves room for the message.
    {"SIGXFSZ: ulimit -f inside the data", 3, "cannot write OUTPUT", 0,
     [] { limit(RLIMIT_FSIZE, 4096); }},
    // 1M frames of 1024 channels (mixed to stereo for the filter): a 4 GiB block, refused
    // before it is asked of the system.
    {"a block past the limit",
     1,
     "a block of 1048576 frames of 1024 channels (4096 MiB) is more than the 64 MiB",
     0,
     {},
     "--frames 1048576 --mix stereo"},
};

// Whether `child` holds a file of `directory` open: its temporary output, named or not.
bool writes_into(pid_t child, const fs::path& directory) {
    std::error_code error;
    for (const fs::directory_entry& descriptor :
         fs::directory_iterator("/proc/" + std::to_string(child) + "/fd", error)) {
        const fs::path target = fs::read_symlink(descriptor.path(), error);
        if (!error && target.parent_path() == directory) return true;
    }
    return false;
}

// Signals end the run at once, even blocked reading a FIFO; a closed pipe and a file size limit
// fail the write instead of killing zq-filter. No temporary file stays behind, even after
// SIGKILL.
TEST(ZqFilter, SignalsAndLimitsLeaveNoTrace) {
    const scratch_space scratch;
    write_sound(scratch.in, test_signal(2, 48000, 10000));
    std::ofstream(scratch.out) << "an earlier result\n";
    std::ofstream(scratch.root / "wide.wav", std::ios::binary) << float_wav(1024, 48000, 1);
    const fs::path fifo = scratch.root / "pipe" / "in.wav";
    fs::create_directories(fifo.parent_path());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string head = file_bytes(scratch.in).substr(0, 8000);
    for (const stop_case& each : k_stops) {
        SCOPED_TRACE(each.name);
        const bool wide = *each.options != '\0';
        if (wide && !k_address_space_limitable) continue;
        const std::map<std::string, std::string> before = contents(scratch.work);
        const fs::path input = each.signal_number ? fifo
                               : wide             ? scratch.root / "wide.wav"
                                                  : scratch.in;
        std::vector<std::string> arguments = words(each.options);
        arguments.insert(arguments.end(),
                         {input.string(), each.output ? each.output : scratch.out.string()});
        const pid_t child = scratch.start(arguments, each.setup);
        if (each.signal_number) {
            const int writer = open(fifo.c_str(), O_WRONLY);
            ASSERT_EQ(write(writer, head.data(), head.size()), ssize_t(head.size()));
            const fs::path work = fs::canonical(scratch.work);
            EXPECT_TRUE(appears([&] { return writes_into(child, work); }));
            kill(child, each.signal_number);
            close(writer);
        }
        const run_result result = scratch.finish(child);
        EXPECT_EQ(result.status, each.status) << result.err;
        EXPECT_NE(result.err.find(each.message), std::string::npos) << result.err;
        EXPECT_TRUE(contents(scratch.work) == before);
    }
}

// strace delivers SIGINT as the rename that makes OUTPUT returns, the moment a handler that
// still had the temporary file registered would say OUTPUT was lost.
TEST(ZqFilter, AnInterruptAsOutputIsRenamedFindsItWritten) {
    const scratch_space scratch;
    if (scratch.shell("strace -o /dev/null true").status != 0)
        GTEST_SKIP() << "strace cannot trace a process here";
    write_sound(scratch.in, test_signal(2, 48000, 10000));
    const run_result result =
        scratch.shell("strace -f -qq -o /dev/null -e trace=rename -e inject=rename:signal=SIGINT "
                      "'" ZQ_FILTER_PATH "' in.wav out.wav");
    EXPECT_EQ(result.status, 128 + SIGINT);
    EXPECT_NE(result.err.find("zq-filter: interrupted; OUTPUT was written"), std::string::npos)
        << result.err;
    EXPECT_TRUE(fs::is_regular_file(scratch.out));
}

} // namespace
} // namespace zq_tool_test
