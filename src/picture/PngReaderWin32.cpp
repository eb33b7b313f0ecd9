// The PNG reader of the Windows builds, which have no libpng: Windows' own decoder, the Windows Imaging Component
// (WIC), reads through a stream over our File, and a format converter hands its pixels over as 8-bit RGBA, not
// premultiplied, a band of rows at a time. The size comes from the file's header, checked before the decoder starts,
// so a hostile header can't make it allocate a picture before the caller has refused it.

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "picture/PngReader.h"
#include "picture/WicWin32.h"

namespace gridport {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
// The largest width or height a PNG header may give.
constexpr std::uint32_t kMostPixels = 0x7fffffff;

std::uint32_t BigEndian32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 |
           std::uint32_t{bytes[3]};
}

Error Damaged(const std::string& path, const std::string& why) { return Error(path, "damaged PNG data: " + why); }

// "cannot decode the picture: Windows' PNG decoder is missing (0x80040154)": the platform lacks what reads it.
Error DecoderMissing(const std::string& path, const char* step, HRESULT result) {
    return Error(ErrorKind::System, path,
                 std::string("cannot decode the picture: Windows' PNG decoder ") + step + " (" + HresultText(result) +
                     ")");
}

// Follows the chunks from the first to the end chunk (IEND), as a reader that goes through to the end would: a file
// cut short fails as such whatever the decoder makes of it. Reads 8 bytes a chunk; the position is left anywhere.
Expected<void> FindEnd(File& file, const std::string& path, std::uint64_t size) {
    std::uint64_t at = sizeof kSignature;
    for (;;) {
        std::uint8_t chunk[8] = {};
        std::size_t arrived = 0;
        if (at + sizeof chunk <= size) {
            if (Expected<void> moved = file.Seek(at); !moved) {
                return moved.error();
            }
            Expected<std::size_t> got = file.Read(chunk, sizeof chunk);
            if (!got) {
                return got.error();
            }
            arrived = *got;
        }
        const std::uint32_t length = BigEndian32(chunk);
        if (arrived == sizeof chunk && length > kMostPixels) {
            return Error(path, at, "damaged PNG data: a chunk's length is out of range");
        }
        // A length, a type, the data and a CRC.
        const std::uint64_t next = at + sizeof chunk + length + 4;
        if (arrived < sizeof chunk || next > size) {
            return Damaged(path, "the file ends before its picture does");
        }
        if (std::memcmp(chunk + 4, "IEND", 4) == 0) {
            return Success();
        }
        at = next;
    }
}

}  // namespace

Expected<void> ReadPng(const std::string& path, FileSystem& fileSystem, const PngSizeCheck& sizeCheck,
                       const PngRowSink& rows) {
    Expected<std::unique_ptr<File>> file = fileSystem.Open(path, OpenMode::Read);
    if (!file) {
        return file.error();
    }
    // The signature, then the header chunk's length and type, width and height.
    std::uint8_t head[24] = {};
    Expected<std::size_t> got = (*file)->Read(head, sizeof head);
    if (!got) {
        return got.error();
    }
    if (*got < sizeof kSignature || std::memcmp(head, kSignature, sizeof kSignature) != 0) {
        return Error(path, 0, "not a PNG file");
    }
    if (*got < sizeof head) {
        return Damaged(path, "the file ends before its picture does");
    }
    if (BigEndian32(head + 8) != 13 || std::memcmp(head + 12, "IHDR", 4) != 0) {
        return Damaged(path, "the file doesn't start with its header chunk (IHDR)");
    }
    const std::uint32_t width = BigEndian32(head + 16);
    const std::uint32_t height = BigEndian32(head + 20);
    if (width == 0 || height == 0 || width > kMostPixels || height > kMostPixels) {
        return Damaged(path, "the header gives " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
    }
    if (Expected<void> allowed = sizeCheck(width, height); !allowed) {
        return allowed.error();
    }
    const std::uint64_t rowBytes = std::uint64_t{width} * 4;
    if (rowBytes > std::numeric_limits<UINT>::max()) {  // a band's size is a 32-bit count for the converter
        return Error(ErrorKind::Limit, path, "the picture is too wide for Windows' PNG decoder");
    }
    Expected<std::uint64_t> size = (*file)->Size();
    if (!size) {
        return size.error();
    }
    if (Expected<void> whole = FindEnd(**file, path, *size); !whole) {
        return whole.error();
    }
    if (Expected<void> rewound = (*file)->Seek(0); !rewound) {
        return rewound.error();
    }

    const ComScope com;
    if (FAILED(com.Result())) {
        return DecoderMissing(path, "can't start (COM)", com.Result());
    }
    // Declared before the decoder, which holds it until released.
    FileStream stream(**file, STGM_READ, *size);
    ComPointer<IWICImagingFactory> factory;
    HRESULT result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                      factory.OutVoid());
    if (FAILED(result)) {
        return DecoderMissing(path, "is missing", result);
    }
    ComPointer<IWICBitmapDecoder> decoder;
    if (result = factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, decoder.Out()); FAILED(result)) {
        return DecoderMissing(path, "is missing", result);
    }
    // Whatever fails once the stream is given out, a failed read's own reason comes first.
    auto failed = [&](const char* step, HRESULT code) -> Error {
        if (stream.Failure()) {
            return *stream.Failure();
        }
        return Damaged(path, std::string("Windows' PNG decoder ") + step + " (" + HresultText(code) + ")");
    };
    if (result = decoder->Initialize(&stream, WICDecodeMetadataCacheOnDemand); FAILED(result)) {
        return failed("refused the file", result);
    }
    ComPointer<IWICBitmapFrameDecode> frame;
    if (result = decoder->GetFrame(0, frame.Out()); FAILED(result)) {
        return failed("found no picture", result);
    }
    UINT frameWidth = 0;
    UINT frameHeight = 0;
    if (result = frame->GetSize(&frameWidth, &frameHeight); FAILED(result)) {
        return failed("gave no size", result);
    }
    if (frameWidth != width || frameHeight != height) {
        return Damaged(path, "Windows' PNG decoder gives " + std::to_string(frameWidth) + " x " +
                                 std::to_string(frameHeight) + " pixels where the header gives " +
                                 std::to_string(width) + " x " + std::to_string(height));
    }
    // RGBA as the rows go out; where the converter has no RGBA (before Windows 8), BGRA with red and blue swapped.
    ComPointer<IWICFormatConverter> converter;
    if (result = factory->CreateFormatConverter(converter.Out()); FAILED(result)) {
        return DecoderMissing(path, "has no pixel converter", result);
    }
    bool swapRedBlue = false;
    result = converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppRGBA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom);
    if (FAILED(result) && !stream.Failure()) {
        swapRedBlue = true;
        result = converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr,
                                       0.0, WICBitmapPaletteTypeCustom);
    }
    if (FAILED(result)) {
        return failed("can't give its pixels as 8-bit RGBA", result);
    }
    const std::uint64_t rowsThatFit = kWicBandBytes / rowBytes;
    const auto bandRows = static_cast<std::uint32_t>(std::clamp<std::uint64_t>(rowsThatFit, 1, height));
    std::vector<std::uint8_t> band(static_cast<std::size_t>(rowBytes * bandRows));
    for (std::uint32_t top = 0; top < height; top += bandRows) {
        const std::uint32_t count = std::min(bandRows, height - top);
        const WICRect rect{0, static_cast<INT>(top), static_cast<INT>(width), static_cast<INT>(count)};
        result = converter->CopyPixels(&rect, static_cast<UINT>(rowBytes), static_cast<UINT>(rowBytes * count),
                                       band.data());
        if (FAILED(result)) {
            return failed("failed on a band of rows", result);
        }
        for (std::uint32_t y = 0; y < count; ++y) {
            std::uint8_t* row = band.data() + y * rowBytes;
            if (swapRedBlue) {
                for (std::uint8_t* pixel = row; pixel != row + rowBytes; pixel += 4) {
                    std::swap(pixel[0], pixel[2]);
                }
            }
            if (Expected<void> taken = rows(top + y, row); !taken) {
                return taken.error();
            }
        }
    }
    return Success();
}

}  // namespace gridport
