// lumetra-ocr: recognises one picture with Tesseract and exits. The running program starts it for each
// recognition, so that the engine and its data never stay in the resident process, a recognition can be
// stopped at once (the engine's layout analysis cannot be interrupted) and an engine that aborts on a
// damaged language pack takes only this process with it.
//
//   lumetra-ocr <tessdata folder> <pack> <width> <height>
//
// Standard input: the picture, `height` rows of `width` pixels of 4 bytes (blue, green, red, unused).
// Standard output, UTF-8, one record a line, fields split by tabs:
//   L <line text>                            a recognised line; its words follow
//   W <left> <top> <width> <height> <text>   a word of the line above, in pixels of the picture
// Exit status 0 when recognised (no line for a picture without text); otherwise 1 for bad input, 2 when
// the language cannot be loaded, 3 when the engine fails, with the reason on standard error.

#include "Bands.h"

#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// The engine reads at most 32767 pixels each way (16-bit coordinates) and at most 2 GiB per picture.
constexpr int MaxDimension = 32767;
constexpr long long MaxBandBytes = (1LL << 31) - 1;
// Smaller bands cost more in set-up than they save.
constexpr int MinBandHeight = 600;

int fail(int status, const std::string& message)
{
    std::fprintf(stderr, "lumetra-ocr: %s\n", message.c_str());
    return status;
}

bool readAll(int fd, std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t got = ::read(fd, data, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got;
        size -= std::size_t(got);
    }
    return true;
}

// Fields of one record: tabs and line ends inside a text would split it.
std::string field(const char* text)
{
    std::string value = text ? text : "";
    for (char& c : value)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    const auto first = value.find_first_not_of(' ');
    const auto last = value.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
}

struct Text
{
    std::unique_ptr<char[]> chars;
    explicit Text(char* text) : chars(text) { }
    const char* get() const { return chars.get(); }
};

class Engine
{
public:
    bool load(const std::string& folder, const std::string& pack)
    {
        // The engine's own messages ("Estimating resolution ...") would bury the one that matters.
        m_api.SetVariable("debug_file", "/dev/null");
        return m_api.Init(folder.c_str(), pack.c_str(), tesseract::OEM_LSTM_ONLY) == 0;
    }

    // Recognises the rows of one band; false when the engine fails.
    bool recognise(std::uint8_t* pixels, int width, Band band, int stride, std::string& records)
    {
        std::uint8_t* top = pixels + std::size_t(band.top) * std::size_t(stride);
        // The engine reads 4-byte pixels as red, green, blue, alpha.
        for (int y = 0; y < band.height; ++y) {
            std::uint8_t* p = top + std::size_t(y) * std::size_t(stride);
            for (int x = 0; x < width; ++x, p += 4)
                std::swap(p[0], p[2]);
        }
        m_api.SetImage(top, width, band.height, 4, stride);
        if (m_api.Recognize(nullptr) != 0)
            return false;
        std::unique_ptr<tesseract::ResultIterator> it(m_api.GetIterator());
        if (!it)
            return true;
        bool lineKept = false;
        do {
            if (it->Empty(tesseract::RIL_WORD))
                continue;
            if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) {
                const std::string line = field(Text(it->GetUTF8Text(tesseract::RIL_TEXTLINE)).get());
                lineKept = !line.empty();
                if (lineKept)
                    records += "L\t" + line + "\n";
            }
            const std::string word = field(Text(it->GetUTF8Text(tesseract::RIL_WORD)).get());
            int left = 0, wordTop = 0, right = 0, bottom = 0;
            if (!lineKept || word.empty()
                || !it->BoundingBox(tesseract::RIL_WORD, &left, &wordTop, &right, &bottom))
                continue;
            records += "W\t" + std::to_string(left) + "\t" + std::to_string(wordTop + band.top) + "\t"
                + std::to_string(right - left) + "\t" + std::to_string(bottom - wordTop) + "\t" + word + "\n";
        } while (it->Next(tesseract::RIL_WORD));
        return true;
    }

private:
    tesseract::TessBaseAPI m_api;
};

int threadCount()
{
    if (const char* chosen = std::getenv("LUMETRA_OCR_THREADS"))
        return std::max(1, std::atoi(chosen));
    return std::max(1, int(std::thread::hardware_concurrency()));
}

// Each core runs an engine of its own and takes the next band when it is done, so that a band with more
// text than the others does not keep the rest waiting. 0 when every band was read, 2 when the language
// data cannot be loaded, 3 when the engine failed.
int recogniseBands(std::vector<std::uint8_t>& pixels, int width, int stride, const std::vector<Band>& bands,
    const std::string& folder, const std::string& pack, int threads, std::vector<std::string>& records)
{
    std::atomic<std::size_t> next { 0 };
    std::atomic<int> status { 0 };
    auto work = [&] {
        Engine engine;
        if (!engine.load(folder, pack)) {
            status = 2;
            return;
        }
        for (std::size_t i; status == 0 && (i = next++) < bands.size();)
            if (!engine.recognise(pixels.data(), width, bands[i], stride, records[i]))
                status = 3;
    };
    std::vector<std::thread> workers;
    for (int i = 1; i < std::min<int>(threads, int(bands.size())); ++i)
        workers.emplace_back(work);
    work();
    for (std::thread& worker : workers)
        worker.join();
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    // Debian's engine runs its inner loops on OpenMP threads, which on a few cores spin against each other
    // and make it several times slower than one thread; the cores are used here by separate engines. The
    // limit is read when the OpenMP library loads, before main: set it and start again.
    if (!std::getenv("OMP_THREAD_LIMIT")) {
        ::setenv("OMP_THREAD_LIMIT", "1", 1);
        ::execv("/proc/self/exe", argv);
        return fail(3, std::string("cannot restart: ") + std::strerror(errno));
    }
    // Ends with the program that started it, also when that one is killed.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() == 1)
        return 1;
    if (argc != 5)
        return fail(1, "usage: lumetra-ocr <tessdata folder> <pack> <width> <height>");
    const std::string folder = argv[1];
    const std::string pack = argv[2];
    const int width = std::atoi(argv[3]);
    const int height = std::atoi(argv[4]);
    if (width <= 0 || height <= 0)
        return fail(1, "the picture is empty");
    if (width > MaxDimension)
        return fail(1,
            "the picture is " + std::to_string(width) + " pixels wide; the engine reads at most "
                + std::to_string(MaxDimension));
    const int stride = width * 4;
    std::vector<std::uint8_t> pixels;
    try {
        pixels.resize(std::size_t(stride) * std::size_t(height));
    } catch (const std::bad_alloc&) {
        return fail(1, "not enough memory for the picture");
    }
    if (!readAll(STDIN_FILENO, pixels.data(), pixels.size()))
        return fail(1, "the picture ended early");

    const int threads = threadCount();
    BandLimits limits;
    limits.wanted = threads > 1 ? threads * 2 : 1;
    limits.minHeight = MinBandHeight;
    limits.maxHeight = int(std::min<long long>(MaxDimension, MaxBandBytes / stride));
    const std::vector<Band> bands = CutIntoBands(pixels.data(), width, height, stride, limits);

    std::vector<std::string> records(bands.size());
    const int status = recogniseBands(pixels, width, stride, bands, folder, pack, threads, records);
    if (status == 2)
        return fail(2, "the language data \"" + pack + "\" in " + folder + " cannot be loaded");
    if (status == 3)
        return fail(3, "the engine could not recognise the picture");

    for (const std::string& band : records)
        if (std::fwrite(band.data(), 1, band.size(), stdout) != band.size())
            return fail(3, "the result could not be passed on");
    return std::fflush(stdout) == 0 ? 0 : fail(3, "the result could not be passed on");
}
