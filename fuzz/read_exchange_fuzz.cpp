// The read exchange (and the write exchange) fed arbitrary device replies
// through a replayed cable in virtual time, then the check the read worker
// makes of the image it got.
//
// Input: one byte choosing the exchange (bit 0 set: write), then the device's
// script (see ReadScript); an Action item is the user pressing stop.
#include "fuzz_support.h"
#include "replay_driver.h"

#include "cards/config_image.h"
#include "common/virtual_clock.h"
#include "link/exchange_outcome.h"
#include "link/ftdi_controller.h"
#include "link/link_block.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <memory>

#include <string>

using namespace k8w;
using k8w::fuzz::require;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const char* token) { return Bytes(token, token + std::char_traits<char>::length(token)); }

bool isBlock(const Bytes& w) {
    return w.size() >= link::kBlockOverhead && w[0] == link::kBlockStart && w[1] + link::kBlockOverhead == w.size() &&
           link::BlockChecksum(w.data(), w.size() - 1) == w.back();
}

// The host only ever sends its tokens and well-formed blocks.
void checkWrites(const std::vector<Bytes>& writes, bool writing) {
    static const std::vector<Bytes> readTokens = {bytesOf("PROG_K8W"), bytesOf("DEVICE"), bytesOf("READ"),
                                                  bytesOf("NEXT"), bytesOf("OK"), bytesOf("ERROR")};
    static const std::vector<Bytes> writeTokens = {bytesOf("PROG_K8W"), bytesOf("WRITE")};
    for (const Bytes& w : writes) {
        const auto& tokens = writing ? writeTokens : readTokens;
        const bool token = std::find(tokens.begin(), tokens.end(), w) != tokens.end();
        require(token || (writing && isBlock(w) && w[1] <= link::kBlockData), "the host sends only its tokens and blocks");
    }
}

const ConfigImage& imageToWrite() {
    static const ConfigImage image = [] {
        ConfigImage built{};
        for (std::size_t i = 0; i < kImageCrcOffset; ++i) built[i] = static_cast<std::uint8_t>(i * 7);
        const std::uint16_t crc = ImageCrc16(built.data(), kImageCrcOffset);
        built[kImageCrcOffset] = static_cast<std::uint8_t>(crc);
        built[kImageCrcOffset + 1] = static_cast<std::uint8_t>(crc >> 8);
        return built;
    }();
    return image;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::requireCodec();
    fuzz::enterScratchFolder(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const bool writing = (input.byte() & 1) != 0;
    VirtualClock clock;
    fuzz::ReplayDriver driver(clock, fuzz::ReadScript(input));

    std::unique_ptr<link::FTDI_Controller> controller =
        writing ? std::make_unique<link::FTDI_Controller>(driver, clock)
                : std::make_unique<link::FTDI_ReadCtrl>(driver, clock);
    driver.setActionHandler([&](std::uint8_t) { controller->Stop(); });
    const ConfigImage& image = imageToWrite();
    // As the workers open it: a write with its image, a read with no data.
    const int opened = writing ? controller->Open(image.data(), static_cast<int>(kImageSize))
                               : controller->Open(nullptr, 0);
    require(opened == link::kOpenOk, "the cable opens");
    const int result = controller->Start();
    require(result >= link::kLinkDone && result <= link::kLinkDeviceFailure, "the exchange gives a result code");
    checkWrites(driver.writes(), writing);

    const int length = controller->DataLength();
    if (fuzz::tracing())
        std::fprintf(stderr, "%s: result %d, %zu writes, data %d bytes, valid image %d, version %s\n",
                     writing ? "write" : "read", result, driver.writes().size(), length,
                     link::IsValidReadImage(controller->Data(), length) ? 1 : 0,
                     qPrintable(controller->VersionText()));
    require(length >= 0 && length <= static_cast<int>(link::kLinkBufferSize), "the data fits the buffer");
    if (writing) {
        require(length == static_cast<int>(kImageSize), "a write keeps its image");
        return 0;
    }
    static const QRegularExpression version(QStringLiteral("^\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}$"));
    require(controller->VersionText() == link::kUnknownVersion || version.match(controller->VersionText()).hasMatch(),
            "the version reads a.b.c or unknown");
    if (result == link::kLinkDone) {
        // What the read worker does with it: only an intact 585-byte image is taken.
        const bool valid = link::IsValidReadImage(controller->Data(), length);
        require(!valid || (length == static_cast<int>(kImageSize) &&
                           ImageCrc16(controller->Data(), kImageSize) == 0),
                "only an intact image is taken");
        if (!valid) (void)link::StartFailureReason(link::Exchange::Read, link::kLinkDeviceFailure);
    }
    return 0;
}
