// qvlink-pack: builds, checks and opens firmware files for engineers and tests.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "file_bytes.h"
#include "file_path.h"
#include "firmware_format.h"
#include "firmware_loader.h"
#include "firmware_packer.h"
#include "program_version.h"
#include "utf8_arguments.h"
#include "utf8_output.h"

namespace {

constexpr int EXIT_WRITE_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_REFUSED = 3;

const char* const USAGE =
    "Usage: qvlink-pack pack IMAGE OUT.bin\n"
    "  or:  qvlink-pack unpack FILE.bin OUT.img\n"
    "  or:  qvlink-pack check FILE.bin\n"
    "Builds, checks and opens firmware files.\n"
    "\n"
    "  pack IMAGE OUT.bin       wrap raw image data (normally exactly 1 MiB) into a firmware file\n"
    "  unpack FILE.bin OUT.img  check a firmware file and write its image data\n"
    "  check FILE.bin           check a firmware file; prints OK and its size\n"
    "  --help                   show this text\n"
    "  --version                print the program's name and version\n"
    "\n"
    "A file is checked exactly as the flasher loads it: outer magic, descrambling, inner magic,\n"
    "declared length, CRC, and a payload long enough to send (1,048,592 bytes or more).\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 usage error,\n"
    "3 the firmware file was refused (its message is printed to stderr).\n";

int UsageError(const char* what) {
    std::fprintf(stderr, "qvlink-pack: %s\n%s", what, USAGE);
    return EXIT_USAGE;
}

int Pack(const char* imagePath, const char* outPath) {
    std::vector<std::uint8_t> data;
    if (const qvlink::Status read =
            qvlink::tools::ReadFileBytes(qvlink::PathFromUtf8(imagePath), &data);
        !read.ok()) {
        qvlink::WriteUtf8(stderr, "qvlink-pack: " + read.message() + "\n");
        return EXIT_WRITE_FAILED;
    }
    if (data.size() != qvlink::STANDARD_DATA_SIZE) {
        std::fprintf(stderr,
                     "qvlink-pack: warning: image is %zu bytes, not %zu; receivers expect 1 MiB "
                     "and a shorter image is refused when loaded\n",
                     data.size(), qvlink::STANDARD_DATA_SIZE);
    }
    const auto file = qvlink::ScramblePayload(qvlink::BuildPayload(data));
    if (const qvlink::Status written =
            qvlink::tools::WriteFileBytes(qvlink::PathFromUtf8(outPath), file.data(), file.size());
        !written.ok()) {
        qvlink::WriteUtf8(stderr, "qvlink-pack: " + written.message() + "\n");
        return EXIT_WRITE_FAILED;
    }
    qvlink::WriteUtf8(stdout, "packed " + std::to_string(data.size()) +
                                  " bytes of image data into " + outPath + " (" +
                                  std::to_string(file.size()) + " bytes)\n");
    return 0;
}

// Loads and checks `path`; prints the refusal and returns false when it is refused.
bool Load(const char* path, qvlink::FirmwareImage& image) {
    const qvlink::Status result = qvlink::LoadFirmwareFile(qvlink::PathFromUtf8(path), image);
    if (!result.ok()) qvlink::WriteUtf8(stderr, result.message() + "\n");
    return result.ok();
}

std::size_t DataSize(const qvlink::FirmwareImage& image) {
    return image.size - qvlink::INNER_HEADER_SIZE - 4;
}

int Check(const char* path) {
    qvlink::FirmwareImage image;
    if (!Load(path, image)) return EXIT_REFUSED;
    std::printf("OK  image data %zu bytes, payload %zu bytes\n", DataSize(image), image.size);
    return 0;
}

int Unpack(const char* path, const char* outPath) {
    qvlink::FirmwareImage image;
    if (!Load(path, image)) return EXIT_REFUSED;
    if (const qvlink::Status written = qvlink::tools::WriteFileBytes(
            qvlink::PathFromUtf8(outPath), image.bytes.get() + qvlink::INNER_HEADER_SIZE,
            DataSize(image));
        !written.ok()) {
        qvlink::WriteUtf8(stderr, "qvlink-pack: " + written.message() + "\n");
        return EXIT_WRITE_FAILED;
    }
    qvlink::WriteUtf8(stdout, "wrote " + std::to_string(DataSize(image)) +
                                  " bytes of image data to " + outPath + "\n");
    return 0;
}

}  // namespace

int main(int rawArgc, char** rawArgv) {
    // Paths on the command line as written, whatever the system's code page.
    qvlink::Utf8Arguments arguments(rawArgc, rawArgv);
    const int argc = arguments.Argc();
    char** const argv = arguments.Argv();
    if (qvlink::PrintVersionIfAsked(argc, argv, "qvlink-pack")) return 0;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (argc < 2) return UsageError("a command is needed");
    const std::string command = argv[1];
    if (command == "pack" && argc == 4) return Pack(argv[2], argv[3]);
    if (command == "unpack" && argc == 4) return Unpack(argv[2], argv[3]);
    if (command == "check" && argc == 3) return Check(argv[2]);
    return UsageError("unknown command or wrong number of arguments");
}
