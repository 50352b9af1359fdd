// The file layer's reading of INPUT on mutated files: open, read every block, check the samples and
// the declared length, as a run does before the filter sees anything. Every outcome is either
// samples or a file_error; a crash, a leak or undefined behaviour in the file layer is a find.
#include <files/file_error.h>
#include <files/sound_files.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string g_path;

void remove_input_file() {
    std::remove(g_path.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // In memory where the system offers it: every input is written once.
    std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    pattern += "/zq-fuzz-input.XXXXXX";
    const int descriptor = mkstemp(pattern.data());
    if (descriptor < 0) return 1;
    close(descriptor);
    g_path = pattern;
    std::atexit(remove_input_file);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size) {
    std::FILE* file = std::fopen(g_path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(bytes, 1, size, file);
    std::fclose(file);
    try {
        ns_audio_files::sound_input input(g_path);
        // Large channel counts make a block large: keep it to what a run would allocate.
        std::vector<float> block(static_cast<std::size_t>(256) * input.channels());
        sf_count_t total = 0;
        while (const sf_count_t got = input.read(block.data(), 256)) {
            total += got;
            if (total > 1 << 20) break; // long files teach nothing more
        }
        static_cast<void>(input.shortfall());
    } catch (const ns_audio_files::file_error&) {
    }
    return 0;
}
