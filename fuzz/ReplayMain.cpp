// Feeds every file of the given folders (or the given files) to the target
// once, the way libFuzzer replays a corpus, so that the suite can run the
// corpora with any compiler: a regression on a stored input shows at once.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char **argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path given(argv[i]);
        if (fs::is_directory(given)) {
            for (const fs::directory_entry &entry : fs::directory_iterator(given))
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
        } else {
            inputs.push_back(given);
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs\n");
        return 1;
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path &path : inputs) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 1;
        }
        const std::vector<char> bytes {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        // An empty vector's data() may be null; libFuzzer never hands one over.
        static const std::uint8_t none = 0;
        const auto *data = bytes.empty() ? &none : reinterpret_cast<const std::uint8_t *>(bytes.data());
        LLVMFuzzerTestOneInput(data, bytes.size());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return 0;
}
